#pragma once

#include <windows.h>

// Top-level exception filter: writes "Crash.dmp" beside the program, starts
// the dump uploader and lets the process end without the system's dialog.
LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* pointers);

// Writes a normal minidump of the current process to `path`.
bool WriteCrashDump(const wchar_t* path, EXCEPTION_POINTERS* pointers);
