#include "autorun_registry.h"

#include <windows.h>

#include <memory>
#include <type_traits>

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"Vorlane";

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

KeyHandle OpenRunKey(HKEY root, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kRunKey, 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return KeyHandle(key);
}

// A new user profile may have no Run key yet.
KeyHandle CreateRunKey(HKEY root)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return KeyHandle(key);
}

}  // namespace

std::wstring AutoRunCommand(const std::wstring& programPath) { return L"\"" + programPath + L"\" -autorun"; }

bool IsAutoRunRegistered(const RunKeyRoots& roots)
{
    for (HKEY root : {roots.machine, roots.user}) {
        KeyHandle key = OpenRunKey(root, KEY_READ);
        if (key && RegQueryValueExW(key.get(), kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            return true;
    }
    return false;
}

void SetAutoRun(bool enabled, const std::wstring& programPath, const RunKeyRoots& roots)
{
    KeyHandle machine = OpenRunKey(roots.machine, KEY_WRITE);
    if (!enabled) {
        if (machine)
            RegDeleteValueW(machine.get(), kValueName);
        if (KeyHandle user = OpenRunKey(roots.user, KEY_WRITE))
            RegDeleteValueW(user.get(), kValueName);
        return;
    }
    KeyHandle key = machine ? std::move(machine) : CreateRunKey(roots.user);
    if (!key)
        return;
    const std::wstring command = AutoRunCommand(programPath);
    RegSetValueExW(key.get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
        DWORD((command.size() + 1) * sizeof(wchar_t)));
}

std::wstring RunningProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}
