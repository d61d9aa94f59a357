#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "layered_preview.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/hyperlink.h"
#include "skinkit/image_list.h"
#include "skinkit/picture.h"
#include "skinkit/rich_edit.h"
#include "skinkit/static_text.h"
#include "skinkit/tab.h"

// Command ids of the gallery's controls.
enum GalleryId : WORD {
    kGalleryClose = 3001,
    kGalleryPrimary = 3002,
    kGallerySecondary = 3003,
    kGalleryLike = 3004,
    kGalleryHelp = 3005,
    kGalleryRemember = 3010,
    kGalleryAutoLogin = 3011,
    kGalleryDisabledCheck = 3012,
    kGalleryStatic = 3020,
    kGalleryLink = 3021,
    kGalleryStatus = 3022,
    kGalleryTab = 3030,
    kGalleryName = 3040,
    kGalleryPassword = 3041,
    kGalleryFiller = 3100,
};

// A layered window with one of every skinkit control, laid out from
// "Qnv_resource\gallery\gallery.ini". Used for screenshots, pixel tests and
// the paint benchmark.
class CGalleryWindow : public CLayeredPreview {
public:
    CGalleryWindow()
        : CLayeredPreview(SIZE{600, 440})
    {
    }
    ~CGalleryWindow() override;

    // folder: the gallery's resource folder, ending in a separator.
    bool Create(const std::wstring& folder, bool quitOnDestroy);
    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"SkinkitGallery"; }

    void Render(HDC hdc) override;
    // Adds plain buttons in a grid until the window holds count controls.
    void AddFillerControls(int count);
    int ControlCount() const;

    CButtonUI& PrimaryButton() { return m_primary; }
    CButtonUI& HelpButton() { return m_help; }
    CCheckBoxUI& RememberBox() { return m_remember; }
    CTabUI& Tab() { return m_tab; }
    CHyperLinkUI& Link() { return m_link; }
    CRichEditUI& NameEdit() { return m_name; }
    CRichEditUI& PasswordEdit() { return m_password; }
    const std::wstring& LastStatus() const { return m_statusText; }

private:
    void CreateControls();
    void ApplyAttributes();
    void Route(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnCommand(WORD id, WORD code);
    void SetStatus(const std::wstring& text);
    bool OverControl(POINT point) const;
    bool CursorOver(const RECT& rect) const;

    std::wstring m_folder;
    std::wstring m_ini;
    bool m_quitOnDestroy = false;
    bool m_tracking = false;
    bool m_ready = false;
    std::wstring m_statusText;

    // Declared first, so destroyed last: the controls point into it.
    CImageList m_images;
    CPictureUI m_background;
    CButtonUI m_close;
    CButtonUI m_primary;
    CButtonUI m_secondary;
    Gosick_button m_like;
    CButtonUI m_help;
    CCheckBoxUI m_remember;
    CCheckBoxUI m_autoLogin;
    CCheckBoxUI m_disabledCheck;
    CStaticUI m_static;
    CStaticUI m_tipText;
    CStaticUI m_status;
    CHyperLinkUI m_link;
    CTabUI m_tab;
    std::array<CPictureUI, 5> m_pictures;
    CRichEditUI m_name;
    CRichEditUI m_password;
    std::vector<std::unique_ptr<CButtonUI>> m_fillers;
};
