#include "button_core.h"

#include <windowsx.h>

#include "control_util.h"
#include "skinkit/accessible_facts.h"
#include "skinkit/control_clock.h"
#include "skinkit/image_list.h"
#include "skinkit/ini_file.h"
#include "skinkit/tooltip.h"

using namespace skinkit;

namespace {
constexpr DWORD kClickGapMs = 300;
constexpr UINT kTipDelayMs = 600;

bool HasRaw(const RECT& raw) { return raw.left || raw.top || raw.right || raw.bottom; }
}  // namespace

ButtonCore::ButtonCore(const void* owner, CToolTipUI*& sharedTip, int& alive)
    : textColor(kDefaultTextColor)
    , m_owner(owner)
    , m_sharedTip(sharedTip)
    , m_alive(alive)
    , m_fontFace(kDefaultFace)
{
    ++m_alive;
}

ButtonCore::~ButtonCore()
{
    if (--m_alive > 0)
        return;
    delete m_sharedTip;
    m_sharedTip = nullptr;
}

bool ButtonCore::Create(HWND parentWindow, WORD id, const RECT& rect)
{
    if (!IsUsableParent(parentWindow))
        return false;
    parent = parentWindow;
    m_id = id;
    m_rawRect = RECT{};
    StoreRect(rect);
    return true;
}

void ButtonCore::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    text = ReadProfileString(iniFile, section, L"Text");
    tipText = ReadProfileString(iniFile, section, L"TipText");
    accessibleName = ReadProfileString(iniFile, section, L"Name");
    CIniFile::GetColorValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"TextColor"), textColor);
    m_image = ImageByNumber(images, ReadProfileInt(iniFile, section, L"Image", 0));
    if (CIniFile::GetRectValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"rect"), m_rawRect))
        ScaleToWindow(parent, m_rawRect);
    StoreRect(ResolveRect(parent, m_rawRect));
}

void ButtonCore::SetImage(Gdiplus::Bitmap* image)
{
    m_image = image;
    m_cache.Invalidate();
    m_otherCache.Invalidate();
}

void ButtonCore::SetOwnedImage(Gdiplus::Bitmap* image)
{
    if (m_ownedImage.get() != image)
        m_ownedImage.reset(image);
    SetImage(image);
}

void ButtonCore::SetText(const std::wstring& value)
{
    const bool changed = text != value;
    text = value;
    Invalidate();
    if (changed)
        NotifyControlEvent(parent, m_owner, EVENT_OBJECT_NAMECHANGE);
}

void ButtonCore::SetWindowRect(const RECT& raw)
{
    m_rawRect = raw;
    StoreRect(ResolveRect(parent, raw));
}

bool ButtonCore::MoveWindow(int x, int y, int w, int h, bool repaint)
{
    const RECT old = Rect();
    const RECT now{x, y, x + w, y + h};
    StoreRect(now);
    if (repaint) {
        InvalidateIfWindow(parent, &old);
        InvalidateIfWindow(parent, &now);
    }
    return true;
}

BOOL ButtonCore::Enable(bool enable)
{
    const int before = state;
    state = enable ? kButtonNormal : kButtonDisabled;
    if (state != before)
        NotifyControlEvent(parent, m_owner, EVENT_OBJECT_STATECHANGE);
    const RECT r = Rect();
    return InvalidateIfWindow(parent, &r);
}

void ButtonCore::Show(bool show)
{
    visible = show;
    if (!show) {
        m_cache.Release();  // a hidden button holds no surface
        m_otherCache.Release();
    }
    Invalidate();
}

RECT ButtonCore::Rect() const { return RECT{m_left.load(), m_top.load(), m_right.load(), m_bottom.load()}; }

void ButtonCore::StoreRect(const RECT& rect)
{
    m_left.store(rect.left);
    m_top.store(rect.top);
    m_right.store(rect.right);
    m_bottom.store(rect.bottom);
}

void ButtonCore::GrowBy(int delta)
{
    m_right.fetch_add(delta);
    m_bottom.fetch_add(delta);
    InvalidateIfWindow(parent, nullptr);
}

void ButtonCore::Shift(int dx)
{
    m_left.fetch_add(dx);
    m_right.fetch_add(dx);
}

void ButtonCore::IncreaseAlpha()
{
    const float next = alpha.load() + 1.0f;
    alpha.store(next > 1.0f ? 1.0f : next);
    InvalidateIfWindow(parent, nullptr);
}

bool ButtonCore::PointerInside() const { return Contains(Rect(), CursorInClient(parent)); }

void ButtonCore::Invalidate() const
{
    const RECT r = Rect();
    InvalidateIfWindow(parent, &r);
}

void ButtonCore::SetState(int next)
{
    if (state == next)
        return;
    state = next;
    Invalidate();
    NotifyControlEvent(parent, m_owner, EVENT_OBJECT_STATECHANGE);
}

void ButtonCore::HideTip() const
{
    if (m_sharedTip && m_sharedTip->IsVisible())
        m_sharedTip->HideToolTip();
}

// Judged by the move's own point: asking where the pointer is costs a call
// to the system for every button on every move.
void ButtonCore::OnMouseMove(WPARAM keys, POINT point)
{
    if (Contains(Rect(), point)) {
        if (keys & MK_LBUTTON) {
            if (m_pressed)
                SetState(kButtonPressed);
            return;
        }
        if (state == kButtonHover)
            return;
        SetState(kButtonHover);
        PostCommand(parent, m_id, kButtonMouseEnter);
        ControlClock::Current().StartTimer(parent, kButtonTipTimer, kTipDelayMs);
        return;
    }
    if (state == kButtonNormal)
        return;
    SetState(kButtonNormal);
    PostCommand(parent, m_id, kButtonMouseLeave);
    HideTip();
}

void ButtonCore::OnButtonDown()
{
    HideTip();
    if (!PointerInside() || m_pressed)
        return;
    m_pressed = true;
    SetState(kButtonPressed);
}

void ButtonCore::OnButtonUp()
{
    if (PointerInside()) {
        SetState(kButtonHover);
        if (m_pressed) {
            const DWORD now = ControlClock::Current().Now();
            if (now - m_lastClickTick > kClickGapMs) {
                m_lastClickTick = now;
                PostCommand(parent, m_id, 0);
            }
            // The command's receiver may have moved the button away.
            if (!PointerInside())
                SetState(kButtonNormal);
        }
    } else if (state != kButtonNormal) {
        SetState(kButtonNormal);
    }
    m_pressed = false;
}

void ButtonCore::Click()
{
    if (visible && state != kButtonDisabled)
        PostCommand(parent, m_id, 0);
}

void ButtonCore::SetKeyFocus(bool focused)
{
    if (keyFocus == focused)
        return;
    keyFocus = focused;
    Invalidate();
    if (focused)
        NotifyControlEvent(parent, m_owner, EVENT_OBJECT_FOCUS);
}

void ButtonCore::OnTipTimer()
{
    const bool buttonUp = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0;
    if (buttonUp && !tipText.empty() && PointerInside()) {
        if (!m_sharedTip) {
            m_sharedTip = new CToolTipUI;
            m_sharedTip->Create(nullptr);
        }
        m_sharedTip->SetParent(parent);
        m_sharedTip->ShowToolTip(tipText);
    }
    ControlClock::Current().StopTimer(parent, kButtonTipTimer);
}

LRESULT ButtonCore::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SIZE) {
        if (wParam != SIZE_MINIMIZED && HasRaw(m_rawRect))
            StoreRect(ResolveRect(parent, m_rawRect));
        return 0;
    }
    if (!visible || state == kButtonDisabled)
        return 0;
    switch (msg) {
    case WM_MOUSEMOVE:
        OnMouseMove(wParam, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnButtonDown();
        break;
    case WM_LBUTTONUP:
        OnButtonUp();
        break;
    case WM_MOUSELEAVE:
        if (state != kButtonNormal) {
            SetState(kButtonNormal);
            ControlClock::Current().StopTimer(parent, kButtonTipTimer);
            HideTip();
        }
        break;
    case WM_TIMER:
        if (wParam == kButtonTipTimer)
            OnTipTimer();
        break;
    default:
        break;
    }
    return 0;
}

void ButtonCore::PaintStrip(HDC hdc)
{
    if (!visible)
        return;
    const RECT r = Rect();
    const int w = Width(r);
    const int h = Height(r);
    // An image exactly as wide as the button has one state only.
    const int srcX = m_image && static_cast<int>(m_image->GetWidth()) == w ? 0 : state * w;
    const int shift = state == kButtonPressed ? 1 : 0;
    CPaintKey key;
    key << m_image << srcX << w << h << shift << text << m_fontFace << m_fontSize << textColor << alignment;
    const bool blank = !m_image && text.empty();
    PaintCached(
        m_cache, hdc, r.left, r.top, key, [&] { return blank ? RECT{} : BoxArea(w, h); },
        [&](HDC dc, int x, int y) {
            if (m_image) {
                Gdiplus::Graphics g(dc);
                DrawImagePart(g, m_image, x, y, srcX, 0, w, h);
            }
            DrawCaption(dc, RECT{x, y, x + w, y + h}, shift, alignment == 0, true);
        });
}

void ButtonCore::PaintStretched(HDC hdc)
{
    if (!visible || !m_image)
        return;
    const RECT r = Rect();
    const int w = Width(r);
    const int h = Height(r);
    const int imageWidth = static_cast<int>(m_image->GetWidth());
    const int imageHeight = static_cast<int>(m_image->GetHeight());
    const int slice = imageWidth / 3;
    // The strip has no disabled slice; a disabled button shows its normal one.
    const int shown = state == kButtonDisabled ? kButtonNormal : state;
    const int srcX = w == imageWidth ? 0 : slice * shown;
    const int shift = state == kButtonPressed ? 1 : 0;
    const float fade = alpha.load();
    CPaintKey key;
    key << m_image << srcX << slice << imageHeight << w << h << fade << shift << text << m_fontFace << m_fontSize
        << textColor;
    // Faded in, a hover goes back and forth between two looks: not the one
    // shown last, then the other one kept, or else the older one drawn anew.
    // While the fade runs each step is a look of its own, and one is kept.
    if (fade < 1.0f) {
        m_otherCache.Release();
        m_otherLook = false;
    } else if (!(m_otherLook ? m_otherCache : m_cache).IsCurrent(key.Bytes())) {
        m_otherLook = !m_otherLook;
    }
    PaintCached(
        m_otherLook ? m_otherCache : m_cache, hdc, r.left, r.top, key, [&] { return BoxArea(w, h); },
        [&](HDC dc, int x, int y) {
            Gdiplus::ColorMatrix matrix
                = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, fade, 0}, {0, 0, 0, 0, 1}}};
            Gdiplus::ImageAttributes attributes;
            attributes.SetColorMatrix(&matrix);
            {
                Gdiplus::Graphics g(dc);
                DrawImageStretched(g, m_image, Gdiplus::Rect(x, y, w, h), srcX, 0, slice, imageHeight, &attributes);
            }
            DrawCaption(dc, RECT{x, y, x + w, y + h}, shift, true, false);
        });
}

// The caption sits one pixel low and follows a press down by shift.
void ButtonCore::DrawCaption(HDC dc, const RECT& box, int shift, bool centred, bool trimmed) const
{
    if (text.empty())
        return;
    Gdiplus::StringFormat format;
    format.SetAlignment(centred ? Gdiplus::StringAlignmentCenter : Gdiplus::StringAlignmentNear);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    if (trimmed)
        format.SetTrimming(Gdiplus::StringTrimmingEllipsisWord);
    const Gdiplus::RectF layout(static_cast<float>(box.left + shift), static_cast<float>(box.top + shift + 1),
        static_cast<float>(Width(box)), static_cast<float>(Height(box) - 1));
    DrawTextGdiplus(dc, text, m_fontFace.c_str(), ScaleToWindow(parent, m_fontSize), textColor, layout, &format);
}
