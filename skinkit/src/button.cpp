#include "skinkit/button.h"

#include "button_core.h"
#include "control_util.h"

using namespace skinkit;

CToolTipUI* CButtonUI::m_pToolTip = nullptr;
CToolTipUI* Gosick_button::m_pToolTip = nullptr;

namespace {
// Buttons of each class alive now: the last one frees the class's shared tip.
template <class Button> int& AliveButtons()
{
    static int alive = 0;
    return alive;
}
}  // namespace

// Both classes are the one button; they differ in how they draw.

// ---------------------------------------------------------------- CButtonUI

CButtonUI::CButtonUI()
    : m_core(std::make_unique<ButtonCore>(this, m_pToolTip, AliveButtons<CButtonUI>()))
{
}

CButtonUI::~CButtonUI() = default;

bool CButtonUI::Create(HWND parent, WORD id)
{
    if (!m_core->Create(parent, id, RECT{}))
        return false;
    m_core->cursor = LoadCursorW(nullptr, IDC_ARROW);
    return true;
}

bool CButtonUI::Create(HWND parent, int x, int y, int w, int h, WORD id, const std::wstring&)
{
    return m_core->Create(parent, id, RECT{x, y, x + w, y + h});
}

void CButtonUI::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    m_core->SetAttribute(section, iniFile, images);
}

void CButtonUI::SetAttribute(Gdiplus::Bitmap* image) { m_core->SetImage(image); }
void CButtonUI::SetBkBitmap(Gdiplus::Bitmap* image) { m_core->SetOwnedImage(image); }
void CButtonUI::SetWindowTextW(const std::wstring& text) { m_core->SetText(text); }

bool CButtonUI::GetWindowTextW(std::wstring& text) const
{
    text = m_core->text;
    return true;
}

void CButtonUI::SetTipText(const std::wstring& text) { m_core->tipText = text; }
std::wstring CButtonUI::GetTipText() const { return m_core->tipText; }
void CButtonUI::SetKeepText(const std::wstring& text) { m_core->keepText = text; }
std::wstring CButtonUI::GetKeepText() const { return m_core->keepText; }
void CButtonUI::SetAccessibleName(const std::wstring& name) { m_core->accessibleName = name; }
std::wstring CButtonUI::GetAccessibleName() const { return m_core->accessibleName; }
void CButtonUI::SetTextColor(COLORREF color) { m_core->textColor = color; }
void CButtonUI::Click() { m_core->Click(); }
void CButtonUI::SetKeyFocus(bool focused) { m_core->SetKeyFocus(focused); }
bool CButtonUI::HasKeyFocus() const { return m_core->keyFocus; }
void CButtonUI::SetCursor(HICON cursor) { m_core->cursor = cursor; }

void CButtonUI::SetWindowRect(int left, int top, int right, int bottom)
{
    m_core->SetWindowRect(RECT{left, top, right, bottom});
}

bool CButtonUI::MoveWindow(int x, int y, bool repaint)
{
    const RECT r = m_core->Rect();
    return m_core->MoveWindow(x, y, Width(r), Height(r), repaint);
}

bool CButtonUI::MoveWindow(int x, int y, int w, int h, bool repaint) { return m_core->MoveWindow(x, y, w, h, repaint); }

bool CButtonUI::MoveWindow(RECT* rect, bool repaint)
{
    if (!rect)
        return false;
    return m_core->MoveWindow(rect->left, rect->top, Width(*rect), Height(*rect), repaint);
}

BOOL CButtonUI::EnableWindow(bool enable) { return m_core->Enable(enable); }
bool CButtonUI::IsWindowEnabled() const { return m_core->state != kButtonDisabled; }
bool CButtonUI::IsWindowVisible() const { return m_core->visible; }
void CButtonUI::ShowWindow(bool visible) { m_core->Show(visible); }
RECT CButtonUI::GetWindowRect() const { return m_core->Rect(); }
int CButtonUI::GetState() const { return m_core->state; }
LRESULT CButtonUI::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return m_core->WindowProc(msg, wParam, lParam);
}

COLORREF CButtonUI::GetTextColor() const { return m_core->textColor; }
void CButtonUI::SetAlignment(int alignment) { m_core->alignment = alignment; }
void CButtonUI::OnPaint(HDC hdc) { m_core->PaintStrip(hdc); }

// ------------------------------------------------------------ Gosick_button

Gosick_button::Gosick_button()
    : m_core(std::make_unique<ButtonCore>(this, m_pToolTip, AliveButtons<Gosick_button>()))
{
}

Gosick_button::~Gosick_button() = default;

bool Gosick_button::Create(HWND parent, WORD id)
{
    if (!m_core->Create(parent, id, RECT{}))
        return false;
    m_core->cursor = LoadCursorW(nullptr, IDC_ARROW);
    return true;
}

bool Gosick_button::Create(HWND parent, int x, int y, int w, int h, WORD id, const std::wstring&)
{
    return m_core->Create(parent, id, RECT{x, y, x + w, y + h});
}

void Gosick_button::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    m_core->SetAttribute(section, iniFile, images);
}

void Gosick_button::SetAttribute(Gdiplus::Bitmap* image) { m_core->SetImage(image); }
void Gosick_button::SetBkBitmap(Gdiplus::Bitmap* image) { m_core->SetOwnedImage(image); }
void Gosick_button::SetWindowTextW(const std::wstring& text) { m_core->SetText(text); }

bool Gosick_button::GetWindowTextW(std::wstring& text) const
{
    text = m_core->text;
    return true;
}

void Gosick_button::SetTipText(const std::wstring& text) { m_core->tipText = text; }
std::wstring Gosick_button::GetTipText() const { return m_core->tipText; }
void Gosick_button::SetKeepText(const std::wstring& text) { m_core->keepText = text; }
std::wstring Gosick_button::GetKeepText() const { return m_core->keepText; }
void Gosick_button::SetAccessibleName(const std::wstring& name) { m_core->accessibleName = name; }
std::wstring Gosick_button::GetAccessibleName() const { return m_core->accessibleName; }
void Gosick_button::SetTextColor(COLORREF color) { m_core->textColor = color; }
void Gosick_button::Click() { m_core->Click(); }
void Gosick_button::SetKeyFocus(bool focused) { m_core->SetKeyFocus(focused); }
bool Gosick_button::HasKeyFocus() const { return m_core->keyFocus; }
void Gosick_button::SetCursor(HICON cursor) { m_core->cursor = cursor; }

void Gosick_button::SetWindowRect(int left, int top, int right, int bottom)
{
    m_core->SetWindowRect(RECT{left, top, right, bottom});
}

bool Gosick_button::MoveWindow(int x, int y, bool repaint)
{
    const RECT r = m_core->Rect();
    return m_core->MoveWindow(x, y, Width(r), Height(r), repaint);
}

bool Gosick_button::MoveWindow(int x, int y, int w, int h, bool repaint)
{
    return m_core->MoveWindow(x, y, w, h, repaint);
}

bool Gosick_button::MoveWindow(RECT* rect, bool repaint)
{
    if (!rect)
        return false;
    return m_core->MoveWindow(rect->left, rect->top, Width(*rect), Height(*rect), repaint);
}

BOOL Gosick_button::EnableWindow(bool enable) { return m_core->Enable(enable); }
bool Gosick_button::IsWindowEnabled() const { return m_core->state != kButtonDisabled; }
bool Gosick_button::IsWindowVisible() const { return m_core->visible; }
void Gosick_button::ShowWindow(bool visible) { m_core->Show(visible); }
RECT Gosick_button::GetWindowRect() const { return m_core->Rect(); }
int Gosick_button::GetState() const { return m_core->state; }
LRESULT Gosick_button::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return m_core->WindowProc(msg, wParam, lParam);
}

float Gosick_button::GetAlpha() const { return m_core->alpha.load(); }
void Gosick_button::SetAlpha(float alpha) { m_core->alpha.store(alpha); }
void Gosick_button::InCreaseAlpha() { m_core->IncreaseAlpha(); }
void Gosick_button::Let_me_zoom_in() { m_core->GrowBy(-1); }
void Gosick_button::Let_me_zoom_out() { m_core->GrowBy(1); }
void Gosick_button::Narrow_window() { m_core->GrowBy(-20); }
void Gosick_button::Enlarge_window() { m_core->GrowBy(20); }
void Gosick_button::adjust_horizon(int dx) { m_core->Shift(dx); }
bool Gosick_button::Is_mouse_inrect() const { return m_core->PointerInside(); }
void Gosick_button::OnPaint(HDC hdc) { m_core->PaintStretched(hdc); }
