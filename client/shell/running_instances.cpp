#include "running_instances.h"

#include <tlhelp32.h>

void TerminateOtherInstances(const wchar_t* exeName)
{
    win32kit::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return;
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self || lstrcmpiW(entry.szExeFile, exeName) != 0)
            continue;
        win32kit::ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (process)
            TerminateProcess(process.Get(), 0);
    }
}

InstanceMutexVerdict JudgeInstanceMutex(HANDLE created, DWORD lastError)
{
    if (created == nullptr || lastError == ERROR_ALREADY_EXISTS)
        return InstanceMutexVerdict::anotherCopyMayRun;
    return InstanceMutexVerdict::firstCopy;
}

InstanceMutexClaim ClaimInstanceMutex(const wchar_t* name)
{
    // The error is read at once: anything called in between may change it.
    const HANDLE created = CreateMutexW(nullptr, FALSE, name);
    const DWORD error = GetLastError();
    return {win32kit::ScopedHandle(created), JudgeInstanceMutex(created, error), error};
}

bool ActivateRunningInstance()
{
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (!GetPropW(window, kInstanceProperty))
            continue;
        if (!IsWindowVisible(window))
            ShowWindow(window, SW_SHOW);
        if (IsIconic(window))
            ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return true;
    }
    return false;
}
