#pragma once
#include <string>

#include "win32kit/scoped_win.h"

// Starts Patchling.exe from the program folder with "-hdl <handle>", an
// inheritable handle to this process it may terminate; manual adds " -man ".
// On failure shows the system error in a message box and returns none.
win32kit::ScopedHandle StartUpdater(bool manual);

// The two halves of the start's parameters: the handle the updater inherits,
// and the line that names it.
win32kit::ScopedHandle OpenSelfForUpdater();
std::wstring UpdaterParameters(HANDLE self, bool manual);
