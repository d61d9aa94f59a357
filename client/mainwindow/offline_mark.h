#pragma once
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

// The small "离线" mark of the main window: shown while the lists on screen
// are the kept answers of an unreachable service, gone with the next fresh
// answer.
class OfflineMark {
public:
    // "offline_mark.png" of the resource folder, for the window's DPI.
    void Load(const std::wstring& resourceFolder, int dpi = 96);
    // UM_FEED_OFFLINE's wParam; true when the mark changed.
    bool Update(bool offline);
    bool IsShown() const { return m_shown; }
    RECT Area() const;
    void Paint(HDC dc) const;

private:
    std::unique_ptr<Gdiplus::Bitmap> m_picture;
    int m_dpi = 96;
    bool m_shown = false;
};
