// The program's entry: libraries up, the main window, the one message loop.
// curl brings winsock2.h, which must come before windows.h.
#include <curl/curl.h>

#include <windows.h>
// The rest need the Windows types first.
#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>

#include "main_window.h"
#include "message_loop.h"

#include <memory>

namespace {

// Bar, extended combo box and rebar controls.
constexpr DWORD kCommonControlClasses = ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES;

int RunClient()
{
    MessageLoop loop;
    auto window = std::make_unique<Qaurn_Navigate_window>();
    if (!window->CreateFullScreen())
        return 0;
    // How a second start will find this one.
    SetPropW(window->GetHWND(), L"Vorlane", reinterpret_cast<HANDLE>(1));
    window->ShowWindow(SW_SHOWNORMAL);
    UpdateWindow(window->GetHWND());
    return loop.Run();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    curl_global_init(CURL_GLOBAL_ALL);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof(controls), kCommonControlClasses};
    InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    const int result = RunClient();

    // Workers still running are not waited for; curl stays initialised for them.
    Gdiplus::GdiplusShutdown(gdiplusToken);
    CoUninitialize();
    return result;
}
