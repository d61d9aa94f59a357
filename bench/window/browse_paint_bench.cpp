// The browsing figures of the main window, against the local service the
// program is built for, at the screen's size (run it on a 1920 x 1080
// display): the full repaint with the picture strip open over a category and
// the featured users listed, as a ratio to a bare full-screen BitBlt in the
// same run; and the private bytes once every category, the hot tags and the
// featured users have been browsed.
// libcurl brings winsock2.h, which must come before windows.h.
#include <curl/curl.h>

#include "main_window.h"

#include "feed_kinds.h"
#include "first_run.h"
#include "paint_timing.h"
#include "win32/wide_text.h"

#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kFrames = 40;
constexpr int kCategories = 8;
constexpr int kColumnLeft = 97;

// Dispatches what is queued, until the queue is empty or the deadline.
void Pump(ULONGLONG deadline = ~0ull)
{
    MSG msg;
    while (GetTickCount64() < deadline && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Keeps messages moving until `done` or the deadline.
bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump(end);
    }
    return true;
}

bool OnDisk(const std::string& path)
{
    return !path.empty() && GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ShownThumbnailsOnDisk(PictureStrip& strip)
{
    const int count = strip.Count();
    for (int i = strip.FirstIndex(); i < strip.FirstIndex() + 4 && i < count; ++i) {
        if (!OnDisk(strip.ThumbnailPath(i)))
            return false;
    }
    return count > 0;
}

void ShowCategory(PictureStrip& strip, int kind, int first)
{
    strip.SetGeometry(128, 128, 129, 4);
    strip.Anchor(kColumnLeft);
    strip.SetSource(PictureStrip::kFeedSource, kind, "", first);
    strip.SetVisible(true);
}

void ChooseTab(HWND hwnd, int item)
{
    CTabNotify notify{};
    notify.item = item;
    SendMessageW(hwnd, UM_TAB_NOTIFY, kTabSelectionChanged, LPARAM(&notify));
}

void Repaint(HWND hwnd) { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

double BareBlitMs(HWND hwnd, int width, int height)
{
    HDC screen = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const double ms = MedianMs(kFrames, [&] { BitBlt(screen, 0, 0, width, height, memory, 0, 0, SRCCOPY); });
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, screen);
    return ms;
}

// The same full-screen repaint of a bare window whose paint is one BitBlt
// of a ready picture: what every repaint costs before any drawing (under
// Wine the flush of the window's surface to the X server, which a BitBlt
// outside a paint leaves untimed).
double BarePaintMs(int width, int height)
{
    struct Bare {
        static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
        {
            if (msg != WM_PAINT)
                return DefWindowProcW(hwnd, msg, wParam, lParam);
            PAINTSTRUCT ps;
            HDC target = BeginPaint(hwnd, &ps);
            HDC source = reinterpret_cast<HDC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            BitBlt(target, 0, 0, ps.rcPaint.right, ps.rcPaint.bottom, source, 0, 0, SRCCOPY);
            EndPaint(hwnd, &ps);
            return 0;
        }
    };
    WNDCLASSW type{};
    type.lpfnWndProc = Bare::Proc;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"BareBrowsePaint";
    RegisterClassW(&type);
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, type.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
        nullptr, nullptr, type.hInstance, nullptr);
    if (!hwnd)
        return 0;
    HDC screen = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(memory));
    Pump(GetTickCount64() + 500);
    const double ms = MedianMs(kFrames, [&] { Repaint(hwnd); });
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, screen);
    DestroyWindow(hwnd);
    return ms;
}

// The pointer moved onto the category button `to`: the move's handling and
// the paint that follows, each timed, medians of the frames.
struct HoverTimes {
    double move = 0;
    double paint = 0;
    double total = 0;
};

HoverTimes HoverMs(HWND hwnd, const CategoryBar& bar)
{
    std::vector<double> moves, paints, totals;
    for (int i = 0; i <= kFrames; ++i) {
        const RECT button = bar.ButtonRect(2 + i % 2);
        const POINT middle{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
        SetCursorPos(middle.x, middle.y);
        const double start = NowMs();
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(middle.x, middle.y));
        const double moved = NowMs();
        UpdateWindow(hwnd);
        GdiFlush();
        const double end = NowMs();
        if (i == 0)
            continue;  // the warm-up
        moves.push_back(moved - start);
        paints.push_back(end - moved);
        totals.push_back(end - start);
    }
    const auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return HoverTimes{median(moves), median(paints), median(totals)};
}

// The paint handler alone: WM_PAINT sent straight to the window, without
// the system's update and surface flush around it.
double PaintHandlerMs(HWND hwnd)
{
    return MedianMs(kFrames, [&] {
        InvalidateRect(hwnd, nullptr, FALSE);
        SendMessageW(hwnd, WM_PAINT, 0, 0);
    });
}

// The paint handler's time while `counting`, summed: the window's own
// procedure is wrapped for the stepping figure.
struct PaintClock {
    static inline WNDPROC original = nullptr;
    static inline bool counting = false;
    static inline double spent = 0;
    static inline double first = 0;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg != WM_PAINT || !counting)
            return CallWindowProcW(original, hwnd, msg, wParam, lParam);
        const double start = NowMs();
        const LRESULT result = CallWindowProcW(original, hwnd, msg, wParam, lParam);
        GdiFlush();
        const double ms = NowMs() - start;
        if (spent == 0)
            first = ms;
        spent += ms;
        return result;
    }
};

// One decode of path's picture and one draw of it at the size it is shown
// at, as a step did before pictures were decoded ahead.
double DecodeAndDrawMs(const std::wstring& path, const RECT& place)
{
    const int w = place.right - place.left;
    const int h = place.bottom - place.top;
    const double start = NowMs();
    const auto picture = LoadPictureFile(path);
    if (!picture || w <= 0 || h <= 0)
        return 0;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    {
        Gdiplus::Graphics g(memory);
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        g.DrawImage(picture.get(), Gdiplus::Rect(0, 0, w, h), 0, 0, int(picture->GetWidth()), int(picture->GetHeight()),
            Gdiplus::UnitPixel);
    }
    GdiFlush();
    const double ms = NowMs() - start;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return ms;
}

// Steps through the home feed at reading pace (one step a second): from the
// key press to the new picture drawn settled, the key's handling and every
// paint meanwhile (the swap's 100 ms of waiting between its frames left
// out), against one decode and draw of that picture.
struct StepTimes {
    double step = 0;
    double decodeAndDraw = 0;
    double key = 0;
    double firstPaint = 0;
    int steps = 0;
};

StepTimes SteppingMs(Qaurn_Navigate_window& window)
{
    constexpr int kSteps = 8;
    HWND hwnd = window.GetHWND();
    PaintClock::original
        = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(&PaintClock::Proc)));
    SendMessageW(hwnd, UM_SHOW_PICTURE_INFO, feed_kind::kHome, 0);
    std::vector<double> steps, references, keys, firsts;
    for (int i = 0; i < kSteps; ++i) {
        PumpUntil([] { return false; }, 1000);
        PaintClock::spent = 0;
        PaintClock::counting = true;
        const double start = NowMs();
        SendMessageW(hwnd, WM_KEYDOWN, VK_RIGHT, 0);
        const double pressed = NowMs() - start;
        PumpUntil([&] { return !window.Viewer().IsSwapRunning(); }, 5000);
        // The swap's last repaint, asked for as it ends, is painted and
        // counted; nothing more is asked of the window than a step asks.
        PumpUntil([] { return false; }, 40);
        UpdateWindow(hwnd);
        PaintClock::counting = false;
        steps.push_back(pressed + PaintClock::spent);
        keys.push_back(pressed);
        // The first frame draws the comment view anew for the new picture.
        firsts.push_back(PaintClock::first);
        const double reference = DecodeAndDrawMs(window.CurrentPicturePath(), window.Viewer().GetPictureRect());
        if (reference > 0)
            references.push_back(reference);
    }
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(PaintClock::original));
    const auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    return StepTimes{median(steps), median(references), median(keys), median(firsts), int(steps.size())};
}

// Wine leaves PrivateUsage at 0; its PagefileUsage, which Windows reports
// equal to PrivateUsage, carries the private bytes.
double PrivateMegabytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(
            GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters)))
        return -1;
    const SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return double(bytes) / (1024.0 * 1024.0);
}

// Where the private bytes grow, step by step of the browsing.
void Note(const char* step) { std::printf("browse_paint: private after %-28s %.1f MB\n", step, PrivateMegabytes()); }

int Run()
{
    wchar_t appData[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)))
        CheckFirstRun(appData);
    Note("the libraries");
    Qaurn_Navigate_window window;
    if (!window.CreateFullScreen()) {
        std::printf("browse_paint: no main window\n");
        return 1;
    }
    HWND hwnd = window.GetHWND();
    ShowWindow(hwnd, SW_SHOW);
    Note("the window");
    window.QueueStartUpFetches();
    PictureStrip& strip = window.Strip();
    // A user's first click leaves the start picture: from then on the viewer
    // shows the large pictures, decoded, behind the browsing. The click lands
    // left of the comment view, which covers the right of the screen.
    RECT screen{};
    GetClientRect(hwnd, &screen);
    if (!PumpUntil([&] { return !window.CurrentPicturePath().empty(); }, 30000)) {
        std::printf("browse_paint: no home picture (is the local service running?)\n");
        return 1;
    }
    Note("the start-up");
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(screen.right * 5 / 8, screen.bottom / 2));
    PumpUntil([&] { return OnDisk(Narrow(window.CurrentPicturePath())); }, 30000);
    Note("the first large picture");

    // Every category, its strip scrolled through to its end, each thumbnail
    // on screen once.
    int pictures = 0;
    for (int kind = 0; kind < kCategories; ++kind) {
        ShowCategory(strip, kind, 0);
        if (!PumpUntil([&] { return ShownThumbnailsOnDisk(strip); }, 30000)) {
            std::printf("browse_paint: category %d has no thumbnails (is the local service running?)\n", kind);
            return 1;
        }
        pictures += strip.Count();
        for (int first = 0; first + 4 <= strip.Count(); ++first) {
            ShowCategory(strip, kind, first);
            PumpUntil([&] { return ShownThumbnailsOnDisk(strip); }, 10000);
            Repaint(hwnd);
        }
        if (kind == 0)
            Note("the first category");
    }
    Note("every category");
    ChooseTab(hwnd, 1);
    PumpUntil([] { return false; }, 4000);  // the hot tags and a feed per tag
    Note("the hot tags");
    ChooseTab(hwnd, 2);
    PumpUntil([] { return false; }, 3000);  // the featured users and their avatars
    const double megabytes = PrivateMegabytes();

    // The featured users listed (tab 2) with the first category's strip over them.
    ShowCategory(strip, 0, 0);
    Pump(GetTickCount64() + 2000);
    RECT client{};
    GetClientRect(hwnd, &client);
    const unsigned decodesBefore = strip.Thumbnails().DecodeCount();
    const double repaint = MedianMs(kFrames, [&] { Repaint(hwnd); });
    const unsigned decodes = strip.Thumbnails().DecodeCount() - decodesBefore;
    const double handler = PaintHandlerMs(hwnd);

    // The category bar, the pointer moving from one button to the next.
    ChooseTab(hwnd, 0);
    PumpUntil([] { return false; }, 1000);  // the buttons fade in
    const HoverTimes hover = HoverMs(hwnd, window.Content().Categories());
    const StepTimes stepping = SteppingMs(window);
    const double blit = BareBlitMs(hwnd, client.right, client.bottom);
    const double barePaint = BarePaintMs(client.right, client.bottom);

    std::printf("browse_paint: %ldx%ld, %d category pictures browsed, median of %d frames\n", client.right,
        client.bottom, pictures, kFrames);
    std::printf("browse_paint: full repaint with the strip open %.3f ms (%u thumbnail decodes), bare BitBlt %.3f ms\n",
        repaint, decodes, blit);
    std::printf("browse_paint: ratio %.1f\n", blit > 0 ? repaint / blit : 0.0);
    std::printf("browse_paint: a bare window's full repaint (one BitBlt in its paint) %.3f ms; the main window's "
                "drawing beyond it %.3f ms\n",
        barePaint, repaint - barePaint);
    std::printf("browse_paint: the paint handler alone %.3f ms; outside it (update, surface flush) %.3f ms\n", handler,
        repaint - handler);
    std::printf("browse_paint: hover repaint %.3f ms (the move's handling %.3f ms, the paint %.3f ms)\n", hover.total,
        hover.move, hover.paint);
    std::printf("browse_paint: step to the next picture %.3f ms, a decode and draw of it %.3f ms (%d steps)\n",
        stepping.step, stepping.decodeAndDraw, stepping.steps);
    std::printf("browse_paint: of a step, the key's handling %.3f ms, the first frame's paint %.3f ms\n", stepping.key,
        stepping.firstPaint);
    std::printf("browse_paint: private bytes after browsing %.1f MB\n", megabytes);
    DestroyWindow(hwnd);
    return 0;
}

}  // namespace

int main()
{
    OleInitialize(nullptr);
    curl_global_init(CURL_GLOBAL_ALL);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return 1;
    const int code = Run();
    Gdiplus::GdiplusShutdown(token);
    OleUninitialize();
    return code;
}
