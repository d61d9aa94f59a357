#pragma once
#include <windows.h>

#include "win32kit/scoped_win.h"

// The property a running copy sets on its main window, so a second start
// can find it.
inline constexpr wchar_t kInstanceProperty[] = L"Vorlane";
// The mutex the first copy creates; per logon session: no "Global\" prefix.
inline constexpr wchar_t kInstanceMutexName[] = L"Vorlane";

enum class InstanceMutexVerdict { firstCopy, anotherCopyMayRun };

// Only a mutex this start created new makes it the first copy. One that
// exists, and every failure (a copy running elevated refuses access, another
// kind of object holds the name), may mean another copy runs.
InstanceMutexVerdict JudgeInstanceMutex(HANDLE created, DWORD lastError);

struct InstanceMutexClaim {
    win32kit::ScopedHandle mutex;  // kept while this copy runs
    InstanceMutexVerdict verdict;
    DWORD error;  // as CreateMutexW left it
};
InstanceMutexClaim ClaimInstanceMutex(const wchar_t* name);

// Ends (exit code 0) every process whose executable file name equals
// exeName in any letter case, except this one.
void TerminateOtherInstances(const wchar_t* exeName);
// Brings forward the first top-level window that carries the property:
// shown if hidden, restored if minimised, then foreground. False when no
// window carries it.
bool ActivateRunningInstance();
