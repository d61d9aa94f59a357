#pragma once

// What the command line asks of this start.

// The updater's replace mode: the line after the program name is exactly
// "update_vor_lane", case and spaces included.
bool IsReplaceMode(const wchar_t* arguments);
// Started with Windows: "-autorun" anywhere in the full line, program path
// included.
bool IsAutoRunStart(const wchar_t* fullCommandLine);
