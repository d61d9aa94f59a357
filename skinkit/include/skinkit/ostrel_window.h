#pragma once

#include <string>

#include <windows.h>

#include "skinkit/image_list.h"
#include "skinkit/message_filter.h"
#include "skinkit/picture.h"
#include "skinkit/skinkit_api.h"
#include "skinkit/window_base.h"

// The library's own ready-made layered window: one background picture from
// "Ziv_resource\__ostrel_window.ini", dragged by its background.
class SKINKIT_API __ostrel_window : public CWindowBase, public CMessageFilter {
public:
    __ostrel_window();
    // The window owns the bitmaps it loaded, so it cannot be copied.
    __ostrel_window(const __ostrel_window&) = delete;
    __ostrel_window& operator=(const __ostrel_window&) = delete;
    ~__ostrel_window() override;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"__ostrel_window"; }
    virtual BOOL OnIdle() { return 0; }
    BOOL PreTranslateMessage(MSG*) override { return FALSE; }

    bool Create(HWND parent, RECT* rect);

    LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnPaint(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnMouseLeave(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnLButtonUp(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnTimer(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnMove(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);
    LRESULT OnNcHittest(UINT msg, WPARAM wParam, LPARAM lParam, int& handled);

    void Draw_window(HDC hdc);
    void DrawControl(HDC hdc);
    void LoadImageRes();
    void UnLoadImageRes() { }
    void SetControlAttribute();
    void Init_common_controls();

    std::wstring GetAppPath() const;
    void GetConfigIniFile(std::wstring& path) const;
    void GetSkinDirectory(std::wstring& path) const;
    std::wstring GetSkinConfig(const std::wstring& iniFile) const;

    const CImageList& Images() const { return m_images; }
    const CPictureUI& Background() const { return m_background; }

private:
    std::wstring ResourceFolder() const;

    bool m_tracking = false;
    // Declared before the picture so the picture goes first.
    CImageList m_images;
    CPictureUI m_background;
};
