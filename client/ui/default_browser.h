#pragma once
#include <string>

// Opens an address with the shell's "open" verb: the user's default browser.
// False when the shell could not start it.
bool OpenInDefaultBrowser(const std::wstring& address);
