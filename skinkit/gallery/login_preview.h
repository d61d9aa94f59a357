#pragma once

#include <string>

#include <windows.h>

#include "layered_preview.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/image_list.h"
#include "skinkit/picture.h"
#include "skinkit/rich_edit.h"

// The login window's skin laid out by skinkit controls, without the login
// logic: a way to look at "login_window.ini" and its pictures.
class CLoginPreview : public CLayeredPreview {
public:
    CLoginPreview()
        : CLayeredPreview(SIZE{425, 290})
    {
    }
    ~CLoginPreview() override;
    // folder: the resource folder holding image_resource.ini and
    // login_window.ini, ending in a separator.
    bool Create(const std::wstring& folder);
    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"SkinkitLoginPreview"; }

    void Render(HDC hdc) override;

private:
    void Layout();
    void Route(UINT msg, WPARAM wParam, LPARAM lParam);

    std::wstring m_ini;
    bool m_showTip = true;
    // Declared first, so destroyed last: the controls point into it.
    CImageList m_images;
    CPictureUI m_background;
    CPictureUI m_tip;
    CRichEditUI m_name;
    CRichEditUI m_password;
    CButtonUI m_login;
    CButtonUI m_register;
    CButtonUI m_forget;
    CButtonUI m_close;
    CCheckBoxUI m_savePassword;
    CCheckBoxUI m_autoLogin;
};
