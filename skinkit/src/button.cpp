#include "skinkit/button.h"

#include "control_util.h"
#include "skinkit/control_clock.h"
#include "skinkit/image_list.h"
#include "skinkit/ini_file.h"
#include "skinkit/tooltip.h"

using namespace skinkit;

CToolTipUI* CButtonUI::m_pToolTip = nullptr;
CToolTipUI* Gosick_button::m_pToolTip = nullptr;

namespace {
constexpr DWORD kClickGapMs = 300;
constexpr UINT kTipDelayMs = 600;

bool HasRaw(const RECT& raw) { return raw.left || raw.top || raw.right || raw.bottom; }
}  // namespace

// The mouse state machine and bookkeeping both buttons share; they differ
// only in how they store their rectangle and how they draw.
struct ButtonLogic {
    static void Store(CButtonUI& b, const RECT& rect) { b.m_rect = rect; }
    static void Store(Gosick_button& b, const RECT& rect) { b.StoreRect(rect); }

    template <class B>
    static void Reresolve(B& b) {
        if (HasRaw(b.m_rawRect)) Store(b, ResolveRect(b.m_parent, b.m_rawRect));
    }

    template <class B>
    static BOOL Invalidate(const B& b) {
        const RECT r = b.GetWindowRect();
        return InvalidateIfWindow(b.m_parent, &r);
    }

    template <class B>
    static void SetState(B& b, int state) {
        if (b.m_state == state) return;
        b.m_state = state;
        b.Invalidate();
    }

    template <class B>
    static void HideTip() {
        if (B::m_pToolTip && B::m_pToolTip->IsVisible()) B::m_pToolTip->HideToolTip();
    }

    template <class B>
    static void OnMouseMove(B& b, WPARAM keys) {
        const bool inside = Contains(b.GetWindowRect(), CursorInClient(b.m_parent));
        if (inside) {
            if (keys & MK_LBUTTON) {
                if (b.m_pressed) SetState(b, kButtonPressed);
                return;
            }
            if (b.m_state == kButtonHover) return;
            SetState(b, kButtonHover);
            PostCommand(b.m_parent, b.m_id, kButtonMouseEnter);
            ControlClock::Current().StartTimer(b.m_parent, kButtonTipTimer, kTipDelayMs);
            return;
        }
        if (b.m_state == kButtonNormal) return;
        SetState(b, kButtonNormal);
        PostCommand(b.m_parent, b.m_id, kButtonMouseLeave);
        HideTip<B>();
    }

    template <class B>
    static void OnButtonDown(B& b) {
        HideTip<B>();
        if (!Contains(b.GetWindowRect(), CursorInClient(b.m_parent)) || b.m_pressed) return;
        b.m_pressed = true;
        SetState(b, kButtonPressed);
    }

    template <class B>
    static void OnButtonUp(B& b) {
        const bool inside = Contains(b.GetWindowRect(), CursorInClient(b.m_parent));
        if (inside) {
            SetState(b, kButtonHover);
            if (b.m_pressed) {
                const DWORD now = ControlClock::Current().Now();
                if (now - b.m_lastClickTick > kClickGapMs) {
                    b.m_lastClickTick = now;
                    PostCommand(b.m_parent, b.m_id, 0);
                }
                if (!Contains(b.GetWindowRect(), CursorInClient(b.m_parent))) SetState(b, kButtonNormal);
            }
        } else if (b.m_state != kButtonNormal) {
            SetState(b, kButtonNormal);
        }
        b.m_pressed = false;
    }

    template <class B>
    static void OnTipTimer(B& b) {
        const bool buttonUp = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0;
        if (buttonUp && !b.m_tipText.empty() && Contains(b.GetWindowRect(), CursorInClient(b.m_parent))) {
            if (!B::m_pToolTip) {
                B::m_pToolTip = new CToolTipUI;
                B::m_pToolTip->Create(nullptr);
            }
            B::m_pToolTip->SetParent(b.m_parent);
            B::m_pToolTip->ShowToolTip(b.m_tipText);
        }
        ControlClock::Current().StopTimer(b.m_parent, kButtonTipTimer);
    }

    template <class B>
    static LRESULT WindowProc(B& b, UINT msg, WPARAM wParam) {
        if (msg == WM_SIZE) {
            if (wParam != SIZE_MINIMIZED) Reresolve(b);
            return 0;
        }
        if (!b.m_visible || b.m_state == kButtonDisabled) return 0;
        switch (msg) {
        case WM_MOUSEMOVE:
            OnMouseMove(b, wParam);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnButtonDown(b);
            break;
        case WM_LBUTTONUP:
            OnButtonUp(b);
            break;
        case WM_MOUSELEAVE:
            if (b.m_state != kButtonNormal) {
                SetState(b, kButtonNormal);
                ControlClock::Current().StopTimer(b.m_parent, kButtonTipTimer);
                HideTip<B>();
            }
            break;
        case WM_TIMER:
            if (wParam == kButtonTipTimer) OnTipTimer(b);
            break;
        default:
            break;
        }
        return 0;
    }

    template <class B>
    static bool Create(B& b, HWND parent, WORD id, const RECT& rect) {
        if (!IsUsableParent(parent)) return false;
        b.m_parent = parent;
        b.m_id = id;
        b.m_rawRect = RECT{};
        Store(b, rect);
        return true;
    }

    template <class B>
    static void SetAttribute(B& b, const std::wstring& section, const std::wstring& iniFile,
                             const std::deque<Gdiplus::Bitmap*>& images) {
        b.m_text = ReadProfileString(iniFile, section, L"Text");
        b.m_tipText = ReadProfileString(iniFile, section, L"TipText");
        CIniFile::GetColorValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"TextColor"), b.m_textColor);
        b.m_image = ImageByNumber(images, ReadProfileInt(iniFile, section, L"Image", 0));
        if (CIniFile::GetRectValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"rect"), b.m_rawRect))
            ScaleToWindow(b.m_parent, b.m_rawRect);
        Store(b, ResolveRect(b.m_parent, b.m_rawRect));
    }

    template <class B>
    static void SetBkBitmap(B& b, Gdiplus::Bitmap* image) {
        if (b.m_ownedImage.get() != image) b.m_ownedImage.reset(image);
        b.m_image = image;
        b.m_cache.Invalidate();
    }

    // Buttons of each class alive now: the last one frees their shared tip.
    template <class B>
    static int& Alive() {
        static int alive = 0;
        return alive;
    }

    template <class B>
    static void Born() { ++Alive<B>(); }

    template <class B>
    static void Gone() {
        if (--Alive<B>() > 0) return;
        delete B::m_pToolTip;
        B::m_pToolTip = nullptr;
    }

    template <class B>
    static void SetWindowRect(B& b, const RECT& raw) {
        b.m_rawRect = raw;
        Store(b, ResolveRect(b.m_parent, raw));
    }

    template <class B>
    static bool MoveWindow(B& b, int x, int y, int w, int h, bool repaint) {
        const RECT old = b.GetWindowRect();
        const RECT now{x, y, x + w, y + h};
        Store(b, now);
        if (repaint) {
            InvalidateIfWindow(b.m_parent, &old);
            InvalidateIfWindow(b.m_parent, &now);
        }
        return true;
    }
};

// ---------------------------------------------------------------- CButtonUI

CButtonUI::CButtonUI() : m_fontFace(kDefaultFace), m_textColor(kDefaultTextColor) { ButtonLogic::Born<CButtonUI>(); }

CButtonUI::~CButtonUI() { ButtonLogic::Gone<CButtonUI>(); }

bool CButtonUI::Create(HWND parent, WORD id) {
    if (!ButtonLogic::Create(*this, parent, id, RECT{})) return false;
    m_cursor = LoadCursorW(nullptr, IDC_ARROW);
    return true;
}

bool CButtonUI::Create(HWND parent, int x, int y, int w, int h, WORD id, const std::wstring&) {
    return ButtonLogic::Create(*this, parent, id, RECT{x, y, x + w, y + h});
}

void CButtonUI::SetAttribute(const std::wstring& section, const std::wstring& iniFile,
                             const std::deque<Gdiplus::Bitmap*>& images) {
    ButtonLogic::SetAttribute(*this, section, iniFile, images);
}

void CButtonUI::SetBkBitmap(Gdiplus::Bitmap* image) { ButtonLogic::SetBkBitmap(*this, image); }

void CButtonUI::SetWindowTextW(const std::wstring& text) {
    m_text = text;
    Invalidate();
}

bool CButtonUI::GetWindowTextW(std::wstring& text) const {
    text = m_text;
    return true;
}

void CButtonUI::SetWindowRect(int left, int top, int right, int bottom) {
    ButtonLogic::SetWindowRect(*this, RECT{left, top, right, bottom});
}

bool CButtonUI::MoveWindow(int x, int y, bool repaint) {
    return MoveWindow(x, y, Width(m_rect), Height(m_rect), repaint);
}

bool CButtonUI::MoveWindow(int x, int y, int w, int h, bool repaint) {
    return ButtonLogic::MoveWindow(*this, x, y, w, h, repaint);
}

bool CButtonUI::MoveWindow(RECT* rect, bool repaint) {
    if (!rect) return false;
    return MoveWindow(rect->left, rect->top, Width(*rect), Height(*rect), repaint);
}

BOOL CButtonUI::EnableWindow(bool enable) {
    m_state = enable ? kButtonNormal : kButtonDisabled;
    return ButtonLogic::Invalidate(*this);
}

void CButtonUI::ShowWindow(bool visible) {
    m_visible = visible;
    Invalidate();
}

void CButtonUI::Invalidate() const { ButtonLogic::Invalidate(*this); }

LRESULT CButtonUI::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    return ButtonLogic::WindowProc(*this, msg, wParam);
}

void CButtonUI::OnPaint(HDC hdc) {
    if (!m_visible) return;
    const int w = Width(m_rect);
    const int h = Height(m_rect);
    // An image exactly as wide as the button has one state only.
    const int srcX = m_image && static_cast<int>(m_image->GetWidth()) == w ? 0 : m_state * w;
    const int shift = m_state == kButtonPressed ? 1 : 0;
    CPaintKey key;
    key << m_image << srcX << w << h << shift << m_text << m_fontFace << m_fontSize << m_textColor << m_alignment;
    const bool blank = !m_image && m_text.empty();
    PaintCached(m_cache, hdc, m_rect.left, m_rect.top, key, [&] { return blank ? RECT{} : BoxArea(w, h); },
                [&](HDC dc, int x, int y) {
                    if (m_image) {
                        Gdiplus::Graphics g(dc);
                        DrawImagePart(g, m_image, x, y, srcX, 0, w, h);
                    }
                    if (m_text.empty()) return;
                    Gdiplus::StringFormat format;
                    format.SetAlignment(m_alignment == 0 ? Gdiplus::StringAlignmentCenter
                                                         : Gdiplus::StringAlignmentNear);
                    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
                    format.SetTrimming(Gdiplus::StringTrimmingEllipsisWord);
                    const Gdiplus::RectF layout(static_cast<float>(x + shift), static_cast<float>(y + shift + 1),
                                                static_cast<float>(w), static_cast<float>(h - 1));
                    DrawTextGdiplus(dc, m_text, m_fontFace.c_str(), ScaleToWindow(m_parent, m_fontSize), m_textColor, layout, &format);
                });
}

// ------------------------------------------------------------ Gosick_button

Gosick_button::Gosick_button() : m_fontFace(kDefaultFace), m_textColor(kDefaultTextColor) {
    ButtonLogic::Born<Gosick_button>();
}

Gosick_button::~Gosick_button() { ButtonLogic::Gone<Gosick_button>(); }

RECT Gosick_button::GetWindowRect() const {
    return RECT{m_left.load(), m_top.load(), m_right.load(), m_bottom.load()};
}

void Gosick_button::StoreRect(const RECT& rect) {
    m_left.store(rect.left);
    m_top.store(rect.top);
    m_right.store(rect.right);
    m_bottom.store(rect.bottom);
}

bool Gosick_button::Create(HWND parent, WORD id) {
    if (!ButtonLogic::Create(*this, parent, id, RECT{})) return false;
    m_cursor = LoadCursorW(nullptr, IDC_ARROW);
    return true;
}

bool Gosick_button::Create(HWND parent, int x, int y, int w, int h, WORD id, const std::wstring&) {
    return ButtonLogic::Create(*this, parent, id, RECT{x, y, x + w, y + h});
}

void Gosick_button::SetAttribute(const std::wstring& section, const std::wstring& iniFile,
                                 const std::deque<Gdiplus::Bitmap*>& images) {
    ButtonLogic::SetAttribute(*this, section, iniFile, images);
}

void Gosick_button::SetBkBitmap(Gdiplus::Bitmap* image) { ButtonLogic::SetBkBitmap(*this, image); }

void Gosick_button::SetWindowTextW(const std::wstring& text) {
    m_text = text;
    Invalidate();
}

bool Gosick_button::GetWindowTextW(std::wstring& text) const {
    text = m_text;
    return true;
}

void Gosick_button::SetWindowRect(int left, int top, int right, int bottom) {
    ButtonLogic::SetWindowRect(*this, RECT{left, top, right, bottom});
}

bool Gosick_button::MoveWindow(int x, int y, bool repaint) {
    const RECT r = GetWindowRect();
    return MoveWindow(x, y, Width(r), Height(r), repaint);
}

bool Gosick_button::MoveWindow(int x, int y, int w, int h, bool repaint) {
    return ButtonLogic::MoveWindow(*this, x, y, w, h, repaint);
}

bool Gosick_button::MoveWindow(RECT* rect, bool repaint) {
    if (!rect) return false;
    return MoveWindow(rect->left, rect->top, Width(*rect), Height(*rect), repaint);
}

BOOL Gosick_button::EnableWindow(bool enable) {
    m_state = enable ? kButtonNormal : kButtonDisabled;
    return ButtonLogic::Invalidate(*this);
}

void Gosick_button::ShowWindow(bool visible) {
    m_visible = visible;
    Invalidate();
}

void Gosick_button::Invalidate() const { ButtonLogic::Invalidate(*this); }

void Gosick_button::InvalidateParent() const { InvalidateIfWindow(m_parent, nullptr); }

void Gosick_button::InCreaseAlpha() {
    float alpha = m_alpha.load();
    const float next = alpha + 1.0f > 1.0f ? 1.0f : alpha + 1.0f;
    m_alpha.store(next);
    InvalidateParent();
}

void Gosick_button::GrowBy(int delta) {
    m_right.fetch_add(delta);
    m_bottom.fetch_add(delta);
    InvalidateParent();
}

void Gosick_button::Let_me_zoom_in() { GrowBy(-1); }
void Gosick_button::Let_me_zoom_out() { GrowBy(1); }
void Gosick_button::Narrow_window() { GrowBy(-20); }
void Gosick_button::Enlarge_window() { GrowBy(20); }

void Gosick_button::adjust_horizon(int dx) {
    m_left.fetch_add(dx);
    m_right.fetch_add(dx);
}

bool Gosick_button::Is_mouse_inrect() const { return Contains(GetWindowRect(), CursorInClient(m_parent)); }

LRESULT Gosick_button::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    return ButtonLogic::WindowProc(*this, msg, wParam);
}

void Gosick_button::OnPaint(HDC hdc) {
    if (!m_visible || !m_image) return;
    const RECT r = GetWindowRect();
    const int w = Width(r);
    const int h = Height(r);
    const int imageWidth = static_cast<int>(m_image->GetWidth());
    const int imageHeight = static_cast<int>(m_image->GetHeight());
    const int slice = imageWidth / 3;
    // The strip has no disabled slice; a disabled button shows its normal one.
    const int state = m_state == kButtonDisabled ? kButtonNormal : m_state;
    const int srcX = w == imageWidth ? 0 : slice * state;
    const int shift = m_state == kButtonPressed ? 1 : 0;
    const float alpha = m_alpha.load();
    CPaintKey key;
    key << m_image << srcX << slice << imageHeight << w << h << alpha << shift << m_text << m_fontFace << m_fontSize
        << m_textColor;
    PaintCached(m_cache, hdc, r.left, r.top, key, [&] { return BoxArea(w, h); }, [&](HDC dc, int x, int y) {
        Gdiplus::ColorMatrix matrix = {
            {{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, alpha, 0}, {0, 0, 0, 0, 1}}};
        Gdiplus::ImageAttributes attributes;
        attributes.SetColorMatrix(&matrix);
        {
            Gdiplus::Graphics g(dc);
            DrawImageStretched(g, m_image, Gdiplus::Rect(x, y, w, h), srcX, 0, slice, imageHeight, &attributes);
        }
        if (m_text.empty()) return;
        Gdiplus::StringFormat format;
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        const Gdiplus::RectF layout(static_cast<float>(x + shift), static_cast<float>(y + shift + 1),
                                    static_cast<float>(w), static_cast<float>(h - 1));
        DrawTextGdiplus(dc, m_text, m_fontFace.c_str(), ScaleToWindow(m_parent, m_fontSize), m_textColor, layout, &format);
    });
}
