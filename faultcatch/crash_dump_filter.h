#pragma once

#include <windows.h>

// Top-level exception filter: has "Crash.dmp" written beside the program,
// the dump uploader started from the program's folder, and lets the process
// end without the system's dialog.
LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* pointers);

// Writes a normal minidump of the current process to `path`, recording the
// exception as raised on thread `threadId`.
bool WriteCrashDump(const wchar_t* path, EXCEPTION_POINTERS* pointers, DWORD threadId);

// The thread that writes the dump, created suspended on load, and its end on
// unload. Without it the filter writes on the crashing thread.
void PrepareCrashWriter();
void DiscardCrashWriter();

// Keeps enough stack for the system's exception dispatch and the filter once
// the calling thread overflows its stack.
void ReserveFilterStack();
