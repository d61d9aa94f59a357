#include "default_browser.h"

#include <windows.h>
// The shell needs the Windows types first.
#include <shellapi.h>

bool OpenInDefaultBrowser(const std::wstring& address)
{
    const HINSTANCE started = ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(started) > 32;
}
