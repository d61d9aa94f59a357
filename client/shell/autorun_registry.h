#pragma once
#include <string>

// The "start with Windows" entry: the value "Vorlane" under the machine's
// Run key, holding the quoted program path and "-autorun".
std::wstring AutoRunCommand(const std::wstring& programPath);
bool IsAutoRunRegistered();
// Turning it off also removes a per-user entry of the same name. When the
// machine key cannot be opened for writing, nothing changes.
void SetAutoRun(bool enabled, const std::wstring& programPath);
// The running program's own path.
std::wstring RunningProgramPath();
