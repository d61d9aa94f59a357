#pragma once
#include "win32kit/scoped_win.h"

// Starts Patchling.exe from the program folder with "-hdl <handle>", an
// inheritable handle to this process it may terminate; manual adds " -man ".
// On failure shows the system error in a message box and returns none.
win32kit::ScopedHandle StartUpdater(bool manual);
