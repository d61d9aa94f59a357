#include "autorun_registry.h"

#include "win32kit/scoped_win.h"

#include <windows.h>

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"Vorlane";

using win32kit::ScopedRegKey;

ScopedRegKey OpenRunKey(HKEY root, REGSAM access)
{
    ScopedRegKey key;
    if (RegOpenKeyExW(root, kRunKey, 0, access, key.Out()) != ERROR_SUCCESS)
        return ScopedRegKey();
    return key;
}

// A new user profile may have no Run key yet.
ScopedRegKey CreateRunKey(HKEY root)
{
    ScopedRegKey key;
    if (RegCreateKeyExW(root, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
        return ScopedRegKey();
    return key;
}

}  // namespace

std::wstring AutoRunCommand(const std::wstring& programPath) { return L"\"" + programPath + L"\" -autorun"; }

bool IsAutoRunRegistered(const RunKeyRoots& roots)
{
    for (HKEY root : {roots.machine, roots.user}) {
        ScopedRegKey key = OpenRunKey(root, KEY_READ);
        if (key && RegQueryValueExW(key.Get(), kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            return true;
    }
    return false;
}

void SetAutoRun(bool enabled, const std::wstring& programPath, const RunKeyRoots& roots)
{
    ScopedRegKey machine = OpenRunKey(roots.machine, KEY_WRITE);
    if (!enabled) {
        if (machine)
            RegDeleteValueW(machine.Get(), kValueName);
        if (ScopedRegKey user = OpenRunKey(roots.user, KEY_WRITE))
            RegDeleteValueW(user.Get(), kValueName);
        return;
    }
    ScopedRegKey key = machine ? std::move(machine) : CreateRunKey(roots.user);
    if (!key)
        return;
    const std::wstring command = AutoRunCommand(programPath);
    RegSetValueExW(key.Get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
        DWORD((command.size() + 1) * sizeof(wchar_t)));
}

std::wstring RunningProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}
