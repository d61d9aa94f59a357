#pragma once

#include <deque>
#include <memory>
#include <string>

#include <windows.h>

#include <gdiplus.h>

#include "skinkit/button.h"
#include "skinkit/messenger.h"
#include "skinkit/paint_cache.h"
#include "skinkit/skinkit_api.h"

namespace skinkit {
struct ViewerMotion;
class CAnimationThreads;
class CPictureMadeAside;
class CPictureFileCache;
}  // namespace skinkit

// Commands and messages the viewer and its two buttons send to the parent.
constexpr WORD kViewerMinimizeButton = 2032;
constexpr WORD kViewerCloseButton = 2039;
constexpr WORD kViewerPrevious = 2035;  // click on the left half
constexpr WORD kViewerNext = 2036;  // click on the right half
constexpr UINT kViewerUpdateCommentView = 3042;
constexpr UINT kViewerLeaveFullView = 3045;
// Timers on the parent that it routes to the viewer.
constexpr UINT_PTR kViewerSpinnerTimer = 1013;
constexpr UINT_PTR kViewerOpeningTimer = 1000;
constexpr LRESULT kViewerOpeningDone = 2012;
// PNG resource of the running program: 25 spinner frames of 20 x 20 in a row.
constexpr int kViewerSpinnerResource = 201;

// How the viewer lays a picture out, copied from it as it is now: a worker
// may scale a picture ahead to the size it will be shown at.
struct SKINKIT_API PictureFit {
    int right = 0;
    int bottom = 0;
    int barBottom = 0;
    int point = -1;  // the messenger's lowest y while the bar shows; -1 for none
    int areaTop = 0;  // where a picture scaled between the bar and that point starts
    // Where a picture of that size is drawn; empty for no picture.
    RECT Place(int width, int height) const;
    int Top(int height) const;
};

// The large-picture viewer: a windowless control over its parent that darkens
// what lies behind it, shows one picture (or a spinner with the download
// percentage while the file is still missing), slides a top bar in and out
// and animates the change to the next or previous picture.
//
// Animations run on threads of their own that step shared atomic values and
// invalidate the parent; the destructor stops them and waits for them.
// Decoded pictures are kept by path, so painting does not read the file again
// until it changes.
class SKINKIT_API Rir_picture_ui {
public:
    Rir_picture_ui();
    ~Rir_picture_ui();
    Rir_picture_ui(const Rir_picture_ui&) = delete;
    Rir_picture_ui& operator=(const Rir_picture_ui&) = delete;

    bool Create(HWND parent, bool visible);
    // The parent was told a new DPI: the bar's places and the buttons follow.
    void SetDpi(int dpi);
    int Dpi() const { return m_dpi; }
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);
    void set_window_rect(UINT left, UINT top, UINT right, UINT bottom);
    void set_window_rc_type3();
    // Not owned; null for none.
    void set_messenger(__ostrel_messenger* messenger) { m_messenger = messenger; }
    // With PictureDecode::awaited a worker decodes the picture (see
    // AwaitDecoded): one not held yet is awaited from now on, not decoded
    // here even when its file is there.
    enum class PictureDecode { here, awaited };
    void set_bk_image_local_path(std::wstring path, PictureDecode decode = PictureDecode::here);
    // A picture was chosen: the start picture goes for good, as after the
    // first click.
    void LeaveDefaultPicture();
    // The plain colour the parent paints under the viewer. Once it is set the
    // viewer fills its area with that colour shaded, one write per pixel,
    // instead of shading what lies there; the parent may then leave out its
    // own fill where CoversWithBackdrop says the viewer paints.
    void SetBackdrop(COLORREF colour);
    bool CoversWithBackdrop(const RECT& area) const;

    void Summon_exchange_next_image();
    void Summon_exchange_previous_image();

    // Bar slides, each on a thread of its own. The _2 variants do nothing
    // and return false while one of them is still running.
    void show_slid_down();
    void show_slid_up();
    bool show_slid_down_2();
    bool show_slid_up_2();
    void show_slid_down_3();
    // The slides themselves; called directly they run on the caller's thread.
    void slid_up_proc();
    void slid_down_proc();
    void slid_up_proc_2();
    void slid_down_proc_2();
    void slid_down_proc_3();
    // Thread entry points; task is what the viewer hands to each thread.
    static unsigned __stdcall Invoke_slid_up_proc(void* task);
    static unsigned __stdcall Invoke_slid_down_proc(void* task);
    static unsigned __stdcall Invoke_slid_up_proc_2(void* task);
    static unsigned __stdcall Invoke_slid_down_proc_2(void* task);
    static unsigned __stdcall Invoke_slid_down_proc_3(void* task);
    static unsigned __stdcall Invoke_exchange_next_proc(void* task);
    static unsigned __stdcall Invoke_exchange_previous_proc(void* task);
    static unsigned __stdcall Invoke_show_loading_proc(void* task);

    // Steps the spinner every 40 ms until the viewer is destroyed.
    void always_show_loading();

    // Returns kViewerOpeningDone on the tick that ends the opening animation.
    LRESULT OnTimer(UINT msg, WPARAM id, LPARAM lParam);
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnPaint(HDC hdc);
    void DrawPicture(HDC hdc);
    void OnMouseMove(WPARAM wParam, LPARAM lParam);
    void OnLButtonUp(WPARAM wParam, LPARAM lParam);

    void ShowWindow(bool visible);
    bool IsWindowVisible() const { return m_visible; }
    RECT GetWindowRect() const { return m_rect; }

    int GetSpinnerPhase() const;
    int GetBarBottom() const;
    bool IsBarHidden() const;
    bool IsSlideRunning() const;
    bool IsSwapRunning() const;
    bool IsShowingDefaultPicture() const { return m_defaultPicture; }
    bool IsOpeningDone() const { return m_openingDone; }
    // Where the current picture is drawn; empty while its file is missing.
    RECT GetPictureRect();
    // Picture files decoded so far.
    unsigned GetDecodeCount() const;

    // The pictures before and after the current one in its list (empty for
    // none): their pixels are kept once handed in, any other's let go.
    void SetNeighbours(const std::wstring& before, const std::wstring& after);
    // A picture decoded ahead on another thread from path's file as it was
    // (`size` bytes, written at `written`), of `natural` size, maybe already
    // scaled to where CurrentFit places it. Taken when it is the current
    // picture or a neighbour and that file is still there; false when dropped.
    bool TakeDecoded(const std::wstring& path, std::unique_ptr<Gdiplus::Bitmap> picture, SIZE natural, ULONGLONG size,
        const FILETIME& written);
    // A worker is decoding the current picture, path, for TakeDecoded: until
    // it comes (or StopAwaiting says none will) the spinner shows rather than
    // the window's thread decoding the same file.
    void AwaitDecoded(const std::wstring& path);
    void StopAwaiting(const std::wstring& path);
    bool Awaits(const std::wstring& path) const { return !path.empty() && path == m_awaited; }
    PictureFit CurrentFit() const;
    bool HoldsDecoded(const std::wstring& path) const;
    // Pictures whose decoded pixels are held now.
    int DecodedHeld() const;

private:
    void LoadOwnImages();
    void LoadButtons();
    int Px(int value) const { return MulDiv(value, m_dpi, 96); }
    void LoadButton(CButtonUI& button, const std::wstring& file, int x, const wchar_t* tip);
    bool StartTask(unsigned(__stdcall* entry)(void*));
    RECT LayoutPicture(int width, int height) const;
    bool SpinnerOnShow();
    int PictureTop(int height) const;
    RECT ShadedArea() const;
    // Where a swap frame draws the two pictures, read once from the motion.
    struct SwapFrame;
    SwapFrame CurrentSwapFrame();
    void Darken(HDC hdc, const RECT& covered, const RECT& alsoCovered = RECT{}) const;
    int DefaultTop() const;
    CPaintKey DefaultKey() const;
    CPaintKey PictureKey(const std::wstring& path, const RECT& place) const;
    RECT ReadyPlace(const std::wstring& path);
    RECT CoveredArea(bool current, const RECT& place);
    Gdiplus::Bitmap* DrawnStraight(const RECT& place);
    void DrawDefaultPicture(HDC hdc);
    void DrawCurrent(HDC hdc, bool known, const RECT& place);
    void DrawSpinner(HDC hdc);
    void DrawSwap(HDC hdc, const SwapFrame& frame);
    void DrawBar(HDC hdc);
    void DrawTitle(HDC hdc);
    void ResetOpeningBand();
    void KeepWanted();

    HWND m_parent = nullptr;
    RECT m_rawRect{};
    RECT m_rect{};
    bool m_visible = true;
    int m_screenWidth = 0;
    int m_dpi = 96;
    bool m_hasBackdrop = false;
    COLORREF m_backdrop = 0;
    UINT32 m_shadedBackdrop = 0;

    Gdiplus::Bitmap* m_imageL = nullptr;
    Gdiplus::Bitmap* m_imageM = nullptr;
    Gdiplus::Bitmap* m_imageR = nullptr;
    Gdiplus::Bitmap* m_imageShowL = nullptr;
    Gdiplus::Bitmap* m_imageShowM = nullptr;
    Gdiplus::Bitmap* m_imageShowR = nullptr;
    int m_style = 0;

    std::unique_ptr<Gdiplus::Bitmap> m_spinner;
    bool m_spinnerLoaded = false;
    std::unique_ptr<Gdiplus::Bitmap> m_defaultImage;
    // Made beside the window's other parts, taken at its first paint.
    std::unique_ptr<skinkit::CPictureMadeAside> m_defaultMaking;
    CButtonUI m_minimize;
    CButtonUI m_close;

    std::wstring m_currentPath;
    std::wstring m_previousPath;
    std::wstring m_before;
    std::wstring m_after;
    std::wstring m_awaited;  // the current picture, while a worker decodes it
    bool m_hasPicture = false;
    bool m_defaultPicture = true;

    RECT m_openingBand{};
    float m_openingAlpha = 0.0f;
    bool m_openingDone = true;
    int m_openingTicks = 0;

    __ostrel_messenger* m_messenger = nullptr;
    std::shared_ptr<skinkit::ViewerMotion> m_motion;
    std::unique_ptr<skinkit::CAnimationThreads> m_threads;
    std::unique_ptr<skinkit::CPictureFileCache> m_pictures;
    // The current picture as last drawn at its size, the bar and the title.
    CPaintCache m_pictureCache;
    CPaintCache m_defaultCache;
    SIZE m_defaultSize{};
    CPaintCache m_barCache;
    CPaintCache m_titleCache;
};
