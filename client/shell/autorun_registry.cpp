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

} // namespace

std::wstring AutoRunCommand(const std::wstring& programPath)
{
    return L"\"" + programPath + L"\" -autorun";
}

bool IsAutoRunRegistered()
{
    KeyHandle key = OpenRunKey(HKEY_LOCAL_MACHINE, KEY_READ);
    return key && RegQueryValueExW(key.get(), kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void SetAutoRun(bool enabled, const std::wstring& programPath)
{
    KeyHandle machine = OpenRunKey(HKEY_LOCAL_MACHINE, KEY_WRITE);
    if (!machine)
        return;
    if (enabled) {
        std::wstring command = AutoRunCommand(programPath);
        RegSetValueExW(machine.get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       DWORD((command.size() + 1) * sizeof(wchar_t)));
        return;
    }
    RegDeleteValueW(machine.get(), kValueName);
    if (KeyHandle user = OpenRunKey(HKEY_CURRENT_USER, KEY_WRITE))
        RegDeleteValueW(user.get(), kValueName);
}

std::wstring RunningProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}
