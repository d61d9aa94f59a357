#pragma once
#include <windows.h>

// The property a running copy sets on its main window, so a second start
// can find it.
inline constexpr wchar_t kInstanceProperty[] = L"Vorlane";

// Ends (exit code 0) every process whose executable file name equals
// exeName in any letter case, except this one.
void TerminateOtherInstances(const wchar_t* exeName);
// Brings forward the first top-level window that carries the property:
// shown if hidden, restored if minimised, then foreground.
void ActivateRunningInstance();
