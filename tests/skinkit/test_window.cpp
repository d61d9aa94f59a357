#include "test_window.h"

#include <cstdio>

bool TestParent::Open(int width, int height, int x, int y)
{
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, WS_POPUP, FALSE, 0);
    return CWindowBase::Create(nullptr, L"skinkit test", WS_POPUP, 0, x, y, r.right - r.left, r.bottom - r.top, nullptr)
        != nullptr;
}

TestParent::~TestParent()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

BOOL TestParent::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (router)
        router(msg, wParam, lParam);
    if (msg == WM_COMMAND)
        commands.push_back({LOWORD(wParam), HIWORD(wParam), lParam});
    if (msg == 0x0A00) {
        const auto* record = reinterpret_cast<const INT32*>(lParam);
        tabNotices.push_back({wParam, static_cast<WORD>(record[0] & 0xFFFF), record[1], record[2], record[3]});
    }
    if (watchMessage && msg == watchMessage) {
        result = resultToLeave;
        return TRUE;
    }
    return FALSE;
}

void TestParent::Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::vector<RecordedCommand> TestParent::TakeCommands()
{
    Pump();
    std::vector<RecordedCommand> taken;
    taken.swap(commands);
    return taken;
}

std::vector<RecordedTabNotice> TestParent::TakeTabNotices()
{
    Pump();
    std::vector<RecordedTabNotice> taken;
    taken.swap(tabNotices);
    return taken;
}

void TestParent::MouseAt(int x, int y)
{
    POINT p{x, y};
    ::ClientToScreen(m_hWnd, &p);
    SetCursorPos(p.x, p.y);
}

void TestParent::Send(UINT msg, WPARAM wParam, LPARAM lParam) { SendMessageW(m_hWnd, msg, wParam, lParam); }

void TestParent::Click(int x, int y)
{
    MouseAt(x, y);
    const LPARAM at = MAKELPARAM(x, y);
    Send(WM_MOUSEMOVE, 0, at);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, at);
    Send(WM_LBUTTONUP, 0, at);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

ScratchFolder::ScratchFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[MAX_PATH];
    swprintf(name, MAX_PATH, L"%lsskinkit-test-%lu-%lu\\", temp, GetCurrentProcessId(), GetTickCount());
    m_path = name;
    CreateDirectoryW(m_path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    for (const std::wstring& file : m_files)
        DeleteFileW(file.c_str());
    RemoveDirectoryW(m_path.c_str());
}

std::wstring ScratchFolder::Write(const std::wstring& name, const std::wstring& utf16Text) const
{
    const std::wstring path = m_path + name;
    const win32kit::ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return path;
    const wchar_t bom = 0xFEFF;
    DWORD written = 0;
    WriteFile(file.Get(), &bom, sizeof(bom), &written, nullptr);
    WriteFile(file.Get(), utf16Text.data(), static_cast<DWORD>(utf16Text.size() * sizeof(wchar_t)), &written, nullptr);
    m_files.push_back(path);
    return path;
}

std::wstring ScratchFolder::WritePng(const std::wstring& name, int width, int height, Gdiplus::Color color) const
{
    const std::wstring path = m_path + name;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, color);
    }
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    bitmap.Save(path.c_str(), &png, nullptr);
    m_files.push_back(path);
    return path;
}

Surface::Surface(int width, int height, bool topDown)
    : m_width(width)
    , m_height(height)
    , m_topDown(topDown)
{
    const win32kit::ScopedGetDC screen(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = topDown ? -height : height;  // bottom-up, like the library's surfaces
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<UINT32*>(bits);
    m_surface.Reset(CreateCompatibleDC(screen), bitmap);
}

UINT32 Surface::Pixel(int x, int y) const
{
    GdiFlush();
    return m_bits[(m_topDown ? y : m_height - 1 - y) * m_width + x];
}

void Surface::Clear(UINT32 argb)
{
    GdiFlush();
    for (int i = 0; i < m_width * m_height; ++i)
        m_bits[i] = argb;
}

bool Surface::SavePng(const std::wstring& path) const
{
    GdiFlush();
    // Rows run bottom-up; GDI+ takes a negative stride for that.
    Gdiplus::Bitmap bitmap(m_width, m_height, -m_width * 4, PixelFormat32bppPARGB,
        reinterpret_cast<BYTE*>(m_bits + (m_height - 1) * m_width));
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

int CountDifferences(const Surface& a, const Surface& b)
{
    int count = 0;
    for (int y = 0; y < a.Height() && y < b.Height(); ++y) {
        for (int x = 0; x < a.Width() && x < b.Width(); ++x)
            count += a.Pixel(x, y) != b.Pixel(x, y) ? 1 : 0;
    }
    return count;
}

int CountIf(const Surface& s, const RECT& r, const std::function<bool(UINT32)>& test)
{
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x)
            count += test(s.Pixel(x, y)) ? 1 : 0;
    }
    return count;
}

std::unique_ptr<Gdiplus::Bitmap> Strip(int cellWidth, int height, std::initializer_list<COLORREF> colors)
{
    auto bitmap
        = std::make_unique<Gdiplus::Bitmap>(cellWidth * static_cast<int>(colors.size()), height, PixelFormat32bppARGB);
    int cell = 0;
    for (COLORREF c : colors) {
        const Gdiplus::Color solid(255, GetRValue(c), GetGValue(c), GetBValue(c));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < cellWidth; ++x)
                bitmap->SetPixel(cell * cellWidth + x, y, solid);
        }
        ++cell;
    }
    return bitmap;
}

::testing::AssertionResult Near(UINT32 pixel, COLORREF rgb, int tolerance)
{
    if (std::abs(Red(pixel) - GetRValue(rgb)) <= tolerance && std::abs(Green(pixel) - GetGValue(rgb)) <= tolerance
        && std::abs(Blue(pixel) - GetBValue(rgb)) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    char text[96];
    snprintf(text, sizeof(text), "pixel %08X is not near RGB(%d,%d,%d)", static_cast<unsigned>(pixel), GetRValue(rgb),
        GetGValue(rgb), GetBValue(rgb));
    return ::testing::AssertionFailure() << text;
}
