// Stand-in for the updater the client starts on every start ("-hdl N",
// and " -man " when asked by hand). There is no update to look for, so it
// ends at once and leaves the client's process handle alone.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
