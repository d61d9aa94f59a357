// A window that draws "加载中" in the program's default face, for looking at
// the display path by eye: tools/test-all.sh takes a screenshot of it.
//   quarn_smoke_window.exe [milliseconds to stay open, default 3000]
#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

const wchar_t kClassName[] = L"QuarnSmokeWindow";
const wchar_t kLoading[] = L"\u52a0\u8f7d\u4e2d";  // 加载中

void Paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH background = CreateSolidBrush(RGB(250, 248, 240));
    FillRect(dc, &client, background);
    DeleteObject(background);

    LOGFONTW fontShape{};
    fontShape.lfHeight = -48;
    fontShape.lfCharSet = DEFAULT_CHARSET;
    wcscpy(fontShape.lfFaceName, L"\u5b8b\u4f53");  // 宋体
    HFONT font = CreateFontIndirectW(&fontShape);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(200, 40, 40));
    DrawTextW(dc, kLoading, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int)
{
    const UINT stay_ms = command_line && *command_line ? wcstoul(command_line, nullptr, 10) : 3000;
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.lpszClassName = kClassName;
    if (!RegisterClassW(&window_class)) {
        return 1;
    }
    HWND window = CreateWindowExW(
        0, kClassName, kLoading, WS_OVERLAPPEDWINDOW, 40, 40, 360, 200, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetTimer(window, 1, stay_ms, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
