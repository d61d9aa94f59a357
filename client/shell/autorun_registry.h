#pragma once
#include <string>

#include <windows.h>

// The "start with Windows" entry: the value "Vorlane" under a Run key,
// holding the quoted program path and "-autorun". The machine's Run key is
// the place; a user without rights to it gets the entry in their own.

// Roots of the two Run keys; tests hand in keys of their own.
struct RunKeyRoots {
    HKEY machine = HKEY_LOCAL_MACHINE;
    HKEY user = HKEY_CURRENT_USER;
};

std::wstring AutoRunCommand(const std::wstring& programPath);
// Either key holding the value counts.
bool IsAutoRunRegistered(const RunKeyRoots& roots = {});
// Turning it on writes the machine key, or the user's key when the machine
// key cannot be opened for writing; turning it off removes both.
void SetAutoRun(bool enabled, const std::wstring& programPath, const RunKeyRoots& roots = {});
// The running program's own path.
std::wstring RunningProgramPath();
