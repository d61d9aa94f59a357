#pragma once

// A plain parent window for control tests: it records the commands and tab
// notifications its controls send, and hands every message to a router.

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <gdiplus.h>

#include "skinkit/window_base.h"
#include "win32kit/scoped_win.h"

struct RecordedCommand {
    WORD id;
    WORD code;
    LPARAM lParam;
};

struct RecordedTabNotice {
    WPARAM kind;
    WORD id;
    int item;
    int minusOne;
    int zero;
};

class TestParent : public CWindowBase {
public:
    // Creates a visible pop-up whose client area is width x height at (x, y).
    bool Open(int width, int height, int x = 100, int y = 100);
    ~TestParent() override;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"SkinkitTestParent"; }

    // Every message reaches the router first (the way a window routes to its
    // controls).
    std::function<void(UINT, WPARAM, LPARAM)> router;

    // Pumps posted messages into the records.
    void Pump();
    // Commands received so far (sent and posted), cleared on read.
    std::vector<RecordedCommand> TakeCommands();
    std::vector<RecordedTabNotice> TakeTabNotices();

    // Puts the cursor on a client point and delivers msg to this window
    // through the window procedure, as the system would.
    void MouseAt(int x, int y);
    void Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void Click(int x, int y);

    std::vector<RecordedCommand> commands;
    std::vector<RecordedTabNotice> tabNotices;
    // HandleMessage claims watchMessage and leaves resultToLeave in result.
    UINT watchMessage = 0;
    LRESULT resultToLeave = 0;
};

// Runs a message loop until done() holds or timeoutMs pass; returns done().
// Timers fire only through such a loop, so tests of timer-driven behaviour
// pump instead of sleeping.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The folder of the running program, ending in a separator.
std::wstring ProgramFolder();

// A scratch folder under the temp folder, removed with its files.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::wstring& Path() const { return m_path; }  // ends with a separator
    std::wstring Write(const std::wstring& name, const std::wstring& utf16Text) const;
    // Writes a small solid PNG of the given size.
    std::wstring WritePng(const std::wstring& name, int width, int height, Gdiplus::Color color) const;

private:
    std::wstring m_path;
    mutable std::vector<std::wstring> m_files;
};

// A 32-bit surface; pixel reads are 0xAARRGGBB premultiplied.
class Surface {
public:
    Surface(int width, int height, bool topDown = false);
    HDC Dc() const { return m_surface.Dc(); }
    UINT32 Pixel(int x, int y) const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Clear(UINT32 argb);
    bool SavePng(const std::wstring& path) const;

private:
    int m_width;
    int m_height;
    bool m_topDown;
    win32kit::ScopedBitmapDC m_surface;
    UINT32* m_bits = nullptr;
};

// Colour helpers for assertions on premultiplied pixels.
inline int Red(UINT32 p) { return (p >> 16) & 0xFF; }
inline int Green(UINT32 p) { return (p >> 8) & 0xFF; }
inline int Blue(UINT32 p) { return p & 0xFF; }
inline int Alpha(UINT32 p) { return (p >> 24) & 0xFF; }
::testing::AssertionResult Near(UINT32 pixel, COLORREF rgb, int tolerance = 8);
// Pixels that differ between two surfaces of the same size.
int CountDifferences(const Surface& a, const Surface& b);
// Pixels inside r for which test holds.
int CountIf(const Surface& s, const RECT& r, const std::function<bool(UINT32)>& test);

// A strip of opaque solid blocks, cellWidth x height each, one colour per
// state.
std::unique_ptr<Gdiplus::Bitmap> Strip(int cellWidth, int height, std::initializer_list<COLORREF> colors);
