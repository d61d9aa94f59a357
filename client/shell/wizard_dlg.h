#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "layered_window.h"
#include "skinkit/button.h"
#include "skinkit/memory_dc.h"

// What the animation threads move and the window paints. Shared with the
// threads, so a thread still running after the window went touches only this.
struct WizardMotion {
    std::atomic<int> progress{0};  // 0..100: pieces apart .. together
    std::atomic<int> logoTop{0};
    std::atomic<int> textAlpha{0};  // 0..255
    std::atomic<int> alpha{255};  // of the closing snapshot
    std::atomic<bool> windowGone{false};
};

// The guide shown on the first start instead of the main window: an intro
// (background pieces flying together, the logo dropping in, the text fading
// in), four pages, then a fade-out that shows the main window. Made with new;
// it deletes itself when its window is destroyed, and that always shows the
// main window.
class CQNWizardDlg : public CLayeredWindow {
public:
    enum CommandId : WORD { kCloseButton = 2, kNextButton = 16 };
    // Posted by the animation threads to the wizard.
    enum : UINT { kIntroDone = WM_APP + 1, kShowOwner = WM_APP + 2 };
    static constexpr int kPageCount = 4;

    // pictureFolder ends with a backslash and holds the wizard's pictures.
    CQNWizardDlg(HWND owner, std::wstring pictureFolder);
    ~CQNWizardDlg() override = default;
    CQNWizardDlg(const CQNWizardDlg&) = delete;
    CQNWizardDlg& operator=(const CQNWizardDlg&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"QNWizardDlg"; }

    // rect null: 1366 x 800.
    bool Create(const RECT* rect = nullptr);
    void Show(bool show);

private:
    void OnCreate();
    void LoadPictures();
    void PlaceButtons();
    void OnDpiChanged(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    void OnKeyDown(WPARAM key);
    void NextPage();
    void Close();
    void ShowOwner();
    SIZE PictureSize() const override { return m_size; }
    void Compose(HDC dc) override;
    void Render(HDC hdc);
    void RenderIntro(Gdiplus::Graphics& g);
    void RenderPage(HDC hdc);

    HWND m_owner;
    std::wstring m_folder;
    SIZE m_size{1366, 800};
    std::shared_ptr<WizardMotion> m_motion = std::make_shared<WizardMotion>();
    int m_page = -1;
    bool m_closing = false;

    std::unique_ptr<Gdiplus::Bitmap> m_background;
    std::unique_ptr<Gdiplus::Bitmap> m_logo;
    std::unique_ptr<Gdiplus::Bitmap> m_nextImage;
    std::unique_ptr<Gdiplus::Bitmap> m_runImage;
    std::unique_ptr<Gdiplus::Bitmap> m_closeImage;
    std::vector<std::unique_ptr<Gdiplus::Bitmap>> m_pages;
    __ostrel_memory_dc m_text;
    __ostrel_memory_dc m_snapshot;
    CButtonUI m_next;
    CButtonUI m_close;
};
