#pragma once
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "layered_window.h"
#include "skinkit/rich_edit.h"
#include "window_messages.h"

// The pop-up that holds the comment view's text input: a layered tool
// window owned by the main window, placed over the view's input area.
class CCommentEdit : public CLayeredWindow {
public:
    static constexpr int kTextLimit = 80;

    CCommentEdit()
        : CLayeredWindow(Surface::kOpaque)
    {
        HostNamedControl(m_edit, L"发表评论");
        ListFocusable(m_edit);
        FocusCycle().OnEscape([this] { AskOwner(CMD_CANCEL_INPUT); });
    }
    ~CCommentEdit() override;
    CCommentEdit(const CCommentEdit&) = delete;
    CCommentEdit& operator=(const CCommentEdit&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Enter sends the text (Shift+Enter breaks the line): the field never sees it.
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    const wchar_t* GetWindowClassName() const override { return L"CommentEdit"; }
    HBRUSH GethBrushBackground() override { return m_white; }

    // Pictures not owned: the field's fill and its frame.
    bool Create(HWND owner, WORD editId, Gdiplus::Bitmap* fill, Gdiplus::Bitmap* frame);
    // The pictures for a new DPI; the field takes the frame's size.
    void SetPictures(Gdiplus::Bitmap* fill, Gdiplus::Bitmap* frame);
    // Screen rectangle.
    void Place(const RECT& rect);
    // activate: shown as the active window, for typing into at once.
    void Show(bool visible, bool activate = false);
    bool IsShown() const { return m_shown; }
    void Focus();

    std::wstring Text() const { return m_edit.GetWindowTextW(); }
    void SetText(const std::wstring& text);

private:
    int Scaled(int value) const;
    void TakePictures(Gdiplus::Bitmap* fill, Gdiplus::Bitmap* frame);
    void PlaceField();
    // Posts the owner one of the input's commands (confirm, cancel).
    void AskOwner(WORD command) const;
    void OnEditChanged();
    SIZE PictureSize() const override { return SIZE{m_width, m_height}; }
    void Compose(HDC dc) override;

    HWND m_owner = nullptr;
    HBRUSH m_white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    Gdiplus::Bitmap* m_fill = nullptr;
    Gdiplus::Bitmap* m_frame = nullptr;
    CRichEditUI m_edit;
    WORD m_editId = 0;
    bool m_empty = true;
    bool m_shown = false;
    int m_width = 0;
    int m_height = 0;
};
