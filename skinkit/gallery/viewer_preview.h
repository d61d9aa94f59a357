#pragma once

#include <atomic>
#include <string>
#include <thread>

#include <windows.h>

#include "skinkit/image_list.h"
#include "skinkit/messenger.h"
#include "skinkit/picture_viewer.h"
#include "skinkit/window_base.h"

// What the viewer preview opens with.
enum class ViewerScene {
    kDefault,  // the default picture, as before the first click
    kLarge,  // a 1920 x 1200 picture, larger than the window
    kFit,  // a picture scaled between the slid-down bar and the messenger's point
    kSmall,  // a picture smaller than the window, at its own size
    kLoading,  // the file still missing: spinner and a rising percentage
};

// Writes a photo-like JPEG of the given size (a sky, hills, a sun and the size
// as text) for the previews and the paint benchmark.
bool WriteDemoPicture(const std::wstring& path, int width, int height);

// A plain double-buffered window showing the picture viewer over a mock
// picture wall, with the viewer's section of "Qnv_resource\picture_viewer.ini".
// Clicking the halves swaps between two pictures as the main window will.
class CViewerPreview : public CWindowBase {
public:
    CViewerPreview() = default;
    ~CViewerPreview() override;

    bool Create(ViewerScene scene);
    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"SkinkitViewerPreview"; }

    void Render(HDC hdc);
    Rir_picture_ui& Viewer() { return m_viewer; }

private:
    void Layout();
    void Paint();
    void OnCommand(WORD id);
    void StartDownload();

    ViewerScene m_scene = ViewerScene::kDefault;
    std::wstring m_pictures[2];
    int m_shown = 0;
    SIZE m_size{1024, 700};
    __ostrel_messenger m_messenger;
    std::atomic<bool> m_stopDownload{false};
    std::thread m_download;
    // Declared before the viewer, so destroyed after it: it points into the list.
    CImageList m_images;
    Rir_picture_ui m_viewer;
};
