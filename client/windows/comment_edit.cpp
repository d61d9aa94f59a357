#include "comment_edit.h"

#include "skin_text.h"
#include "skinkit/dpi.h"
#include "skinkit/memory_dc.h"

namespace {

constexpr int kTextInset = 8;
constexpr DWORD kEditStyle = ES_MULTILINE | ES_AUTOVSCROLL;
constexpr Gdiplus::ARGB kHintColor = 0xFE848484;

}  // namespace

CCommentEdit::~CCommentEdit()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

int CCommentEdit::Scaled(int value) const
{
    return skinkit::ScaleToDpi(value, skinkit::WindowDpi(m_hWnd ? m_hWnd : m_owner));
}

bool CCommentEdit::Create(HWND owner, WORD editId, Gdiplus::Bitmap* fill, Gdiplus::Bitmap* frame)
{
    m_owner = owner;
    m_editId = editId;
    TakePictures(fill, frame);
    if (!CWindowBase::Create(owner, L"发表评论", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_LAYERED, CW_USEDEFAULT,
            CW_USEDEFAULT, m_width, m_height, nullptr))
        return false;
    SetLayeredWindowAttributes(m_hWnd, 0, 0, LWA_ALPHA);
    if (!m_edit.Create(m_hWnd, editId, kEditStyle))
        return false;
    m_edit.SetWordWrap(true);
    m_edit.SetLimitText(kTextLimit);
    m_edit.SetTextColor(RGB(0, 0, 0));
    PlaceField();
    return true;
}

// The frame's picture is drawn for the DPI: it gives the field's size.
void CCommentEdit::TakePictures(Gdiplus::Bitmap* fill, Gdiplus::Bitmap* frame)
{
    m_fill = fill;
    m_frame = frame;
    m_width = frame ? int(frame->GetWidth()) : Scaled(440);
    m_height = frame ? int(frame->GetHeight()) : Scaled(64);
}

void CCommentEdit::PlaceField()
{
    const int inset = Scaled(kTextInset);
    m_edit.SetBkRect(0, 0, m_width, m_height);
    m_edit.SetEidtRect(inset, inset, m_width - inset, m_height - inset);
}

void CCommentEdit::SetPictures(Gdiplus::Bitmap* fill, Gdiplus::Bitmap* frame)
{
    TakePictures(fill, frame);
    if (!m_hWnd)
        return;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_width, m_height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceField();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CCommentEdit::Place(const RECT& rect)
{
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CCommentEdit::Show(bool visible, bool activate)
{
    if (!m_hWnd || visible == m_shown)
        return;
    m_shown = visible;
    if (!visible) {
        m_edit.KillFocus();
        SetLayeredWindowAttributes(m_hWnd, 0, 0, LWA_ALPHA);
        ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    SetLayeredWindowAttributes(m_hWnd, 0, 255, LWA_ALPHA);
    // Just above the main window, under whatever opened after the input
    // (the login window, a page): shown at the top it would cover them.
    HWND above = GetWindow(m_owner, GW_HWNDPREV);
    if (above == m_hWnd)
        above = GetWindow(m_hWnd, GW_HWNDPREV);
    // A window shown inactive and activated afterwards is mapped again by
    // Wine on its next move, which drops the keyboard's focus.
    const UINT activation = activate ? 0 : SWP_NOACTIVATE;
    ::SetWindowPos(m_hWnd, above ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | activation | SWP_SHOWWINDOW);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CCommentEdit::Focus()
{
    if (!m_shown)
        return;
    SetForegroundWindow(m_hWnd);
    SetFocus(m_hWnd);
    m_edit.SetFocus();
    m_edit.SetSel(-1, -1);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CCommentEdit::SetText(const std::wstring& text)
{
    m_edit.SetWindowTextW(text.c_str());
    m_edit.SetSel(-1, -1);
    OnEditChanged();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CCommentEdit::OnEditChanged()
{
    const bool empty = m_edit.GetTextLength() == 0;
    if (empty == m_empty)
        return;
    m_empty = empty;
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CCommentEdit::AskOwner(WORD command) const { PostMessageW(m_owner, WM_COMMAND, MAKEWPARAM(command, 0), 0); }

LRESULT CCommentEdit::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const bool enter
        = (msg == WM_KEYDOWN && wParam == VK_RETURN) || (msg == WM_CHAR && (wParam == L'\r' || wParam == L'\n'));
    if (!enter || GetKeyState(VK_SHIFT) < 0)
        return CLayeredWindow::WindowProc(hwnd, msg, wParam, lParam);
    if (msg == WM_KEYDOWN)
        AskOwner(CMD_CONFIRM);
    return 0;
}

BOOL CCommentEdit::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (HandlePaintMessage(msg, result))
        return TRUE;
    switch (msg) {
    case WM_MOUSEWHEEL:
        // The comment list under the field scrolls instead.
        PostMessageW(m_owner, msg, wParam, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == m_editId && (HIWORD(wParam) == kEditCharTyped || HIWORD(wParam) == kEditTextChanged))
            OnEditChanged();
        return TRUE;
    case WM_SETCURSOR:
        if (m_edit.OnSetCursor())
            result = TRUE;
        return TRUE;
    default:
        return FALSE;
    }
}

void CCommentEdit::Compose(HDC dc)
{
    RECT all{0, 0, m_width, m_height};
    FillRect(dc, &all, m_white);
    if (m_fill) {
        Gdiplus::Graphics g(dc);
        g.DrawImage(m_fill, 0, 0, m_width, m_height);
    }
    m_edit.OnPaint(dc);
    if (m_empty) {
        SkinTextStyle hint;
        hint.points = 10.0f;
        hint.color = kHintColor;
        const int inset = Scaled(kTextInset);
        DrawSkinText(dc, L"说点什么吧……", hint,
            Gdiplus::RectF(
                float(inset + Scaled(2)), float(inset + Scaled(2)), float(m_width - 2 * inset), float(Scaled(20))));
    }
    if (m_frame) {
        Gdiplus::Graphics g(dc);
        g.DrawImage(m_frame, 0, 0, m_width, m_height);
    }
    FocusCycle().Paint(dc, m_hWnd);
}
