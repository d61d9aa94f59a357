#include "skinkit/rich_edit.h"

#include <vector>

#include "control_util.h"
#include "skinkit/accessible_facts.h"
#include "skinkit/image_list.h"
#include "skinkit/ini_file.h"
#include "text_host.h"

using namespace skinkit;

namespace {
constexpr UINT kCaretBlinkMs = 700;
constexpr UINT kScrollRepeatMs = 50;
constexpr int kScrollBoxSize = 17;
constexpr int kClientFontSize = 13;
constexpr int kOwnFontSize = 15;
constexpr COLORREF kSelectionColor = RGB(0, 163, 223);
constexpr COLORREF kWhite = RGB(255, 255, 255);

LOGFONTW StockFont(int stock)
{
    LOGFONTW font{};
    GetObjectW(GetStockObject(stock), sizeof(font), &font);
    return font;
}

// Advance the own text drawing assumes: half width below code 178, full
// width above.
int Advance(wchar_t ch) { return ch < 178 ? 6 : 12; }
}  // namespace

CRichEditUI::CRichEditUI()
    : m_drawFace(kDefaultFace)
    , m_drawTextColor(kDefaultTextColor)
    , m_engineTextColor(255)
{
}

CRichEditUI::CRichEditUI(HWND parent, RECT* rect, DWORD style)
    : m_drawFace(kDefaultFace)
    , m_drawTextColor(kDefaultTextColor)
    , m_engineTextColor(0)
{
    Create(parent, rect, style);
}

CRichEditUI::CRichEditUI(HWND parent, int x, int y, int w, int h, DWORD style, bool flag)
    : m_drawFace(kDefaultFace)
    , m_drawTextColor(kDefaultTextColor)
    , m_engineTextColor(0)
    , m_flag(flag)
{
    Create(parent, x, y, w, h, style);
}

// The host goes while every field it may call back into is still alive.
CRichEditUI::~CRichEditUI() { m_host.Reset(); }

bool CRichEditUI::CreateHost(DWORD style)
{
    GdiSetBatchLimit(1);
    m_style = style;
    m_wordWrap = !(style & (ES_AUTOHSCROLL | WS_HSCROLL));
    // A second Create replaces the host: the first one and its engine go here.
    m_host = CTxtWinHost::Create(this, style, StockFont(SYSTEM_FONT), m_engineTextColor);
    if (!m_host)
        return false;
    m_host->SetClientRect(m_editRect);
    m_host->SetTransparent(true);
    m_host->PropertyChanged(TXTBIT_BACKSTYLECHANGE, true);
    Send(EM_SETLANGOPTIONS, 0, IMF_DUALFONT);
    m_host->Activate();
    return true;
}

bool CRichEditUI::Create(HWND parent, WORD id, DWORD style)
{
    if (!IsUsableParent(parent))
        return false;
    m_parent = parent;
    m_id = id;
    m_password = false;
    if (style & ES_AUTOHSCROLL)
        m_rich = false;
    if (!CreateHost(style))
        return false;
    SetFont(kDefaultFace, kClientFontSize, false, false, false);
    return true;
}

bool CRichEditUI::Create(HWND parent, int x, int y, int w, int h, DWORD style)
{
    RECT r{x, y, x + w, y + h};
    return Create(parent, &r, style);
}

bool CRichEditUI::Create(HWND parent, RECT* rect, DWORD style)
{
    if (!IsUsableParent(parent) || !rect)
        return false;
    m_parent = parent;
    m_password = false;
    m_rawEditRect = *rect;
    m_editRect = *rect;
    if (style & ES_AUTOHSCROLL)
        m_rich = false;
    if (!CreateHost(style))
        return false;
    SetFont(kDefaultFace, kOwnFontSize, false, false, false);
    return true;
}

void CRichEditUI::SetAttribute(
    const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images)
{
    m_bkLeft = ImageByNumber(images, ReadProfileInt(iniFile, section, L"ImageBkLeft", 0));
    m_bkMiddle = ImageByNumber(images, ReadProfileInt(iniFile, section, L"ImageBkMiddle", 0));
    m_bkRight = ImageByNumber(images, ReadProfileInt(iniFile, section, L"ImageBkRight", 0));
    m_bkCache.Invalidate();
    COLORREF color = kDefaultTextColor;
    CIniFile::GetColorValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"TextColor"), color);
    SetTextColor(color);
    RECT r = m_rawBkRect;
    if (CIniFile::GetRectValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"rectbk"), r))
        ScaleToWindow(m_parent, r);
    SetBkRect(r.left, r.top, r.right, r.bottom);
    r = m_rawEditRect;
    if (CIniFile::GetRectValue(iniFile.c_str(), section.c_str(), const_cast<wchar_t*>(L"rect"), r))
        ScaleToWindow(m_parent, r);
    SetEidtRect(r.left, r.top, r.right, r.bottom);
    if (IsUsableParent(m_parent))
        SetTimer(m_parent, kEditCaretTimer, kCaretBlinkMs, nullptr);
}

void CRichEditUI::SetBkImages(Gdiplus::Bitmap* left, Gdiplus::Bitmap* middle, Gdiplus::Bitmap* right)
{
    m_bkLeft = left;
    m_bkMiddle = middle;
    m_bkRight = right;
    m_bkCache.Invalidate();
}

void CRichEditUI::SetBkRect(int left, int top, int right, int bottom)
{
    m_rawBkRect = RECT{left, top, right, bottom};
    m_bkRect = ResolveRect(m_parent, m_rawBkRect);
}

void CRichEditUI::SetEidtRect(int left, int top, int right, int bottom)
{
    m_rawEditRect = RECT{left, top, right, bottom};
    m_editRect = ResolveRect(m_parent, m_rawEditRect);
    if (!m_host)
        return;
    m_host->SetClientRect(m_editRect);
    m_host->PropertyChanged(TXTBIT_CLIENTRECTCHANGE, true);
    // Wine's engine takes the client rectangle from in-place activation only.
    m_host->Activate();
    OnTxViewChanged();
}

void CRichEditUI::ResolveRects()
{
    m_bkRect = ResolveRect(m_parent, m_rawBkRect);
    m_editRect = ResolveRect(m_parent, m_rawEditRect);
    if (!m_host)
        return;
    m_host->SetClientRect(m_editRect);
    m_host->PropertyChanged(TXTBIT_CLIENTRECTCHANGE, true);
    m_host->Activate();
}

void CRichEditUI::ShowWindow(bool visible)
{
    if (!visible && m_host) {
        m_focus = false;
        m_host->Activate();
        Send(WM_KILLFOCUS);
    }
    m_visible = visible;
    if (!visible) {
        // A hidden field holds no surfaces.
        m_bkCache.Release();
        m_textCache.Release();
    }
    InvalidateParent(&m_bkRect);
}

void CRichEditUI::InvalidateParent(const RECT* rect) const { InvalidateIfWindow(m_parent, rect); }

void CRichEditUI::NotifyParent(WORD code, bool post) const
{
    if (!IsUsableParent(m_parent))
        return;
    if (post) {
        PostCommand(m_parent, m_id, code);
    } else {
        SendCommand(m_parent, m_id, code);
    }
}

LRESULT CRichEditUI::Send(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    if (!m_host || !m_host->Services())
        return 0;
    LRESULT result = 0;
    m_host->Services()->TxSendMessage(msg, wParam, lParam, &result);
    return result;
}

// ------------------------------------------------------------ focus, input

void CRichEditUI::SetFocus()
{
    if (m_host)
        m_host->Activate();
    m_focus = true;
    Send(WM_SETFOCUS);
    InvalidateParent(&m_bkRect);
    NotifyControlEvent(m_parent, this, EVENT_OBJECT_FOCUS);
    NotifyParent(kEditFocusGained, true);
}

void CRichEditUI::KillFocus()
{
    if (!m_focus)
        return;
    m_focus = false;
    m_bkState = 0;
    if (m_host)
        m_host->Activate();
    Send(WM_KILLFOCUS);
    InvalidateParent(&m_bkRect);
    NotifyParent(kEditFocusLost, true);
}

bool CRichEditUI::CursorInside(const RECT& rect) const { return Contains(rect, CursorInClient(m_parent)); }

LRESULT CRichEditUI::TxSendMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) const
{
    if (!m_host || !m_host->Services() || msg == WM_LBUTTONDBLCLK)
        return 1;
    if (msg == WM_MOUSEMOVE && !(wParam & MK_LBUTTON))
        return 1;
    if (msg == WM_CHAR && wParam == VK_TAB)
        return 1;
    LRESULT local = 0;
    const HRESULT hr = m_host->Services()->TxSendMessage(msg, wParam, lParam, result ? result : &local);
    if (msg != WM_CHAR)
        return hr;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    // Ctrl+V (22) and Ctrl+X (24) change the text; other Ctrl chords do not.
    if (!ctrl || wParam == 22 || wParam == 24)
        NotifyParent(kEditCharTyped, false);
    return hr;
}

void CRichEditUI::Clicked()
{
    if (!CursorInside(m_bkRect)) {
        KillFocus();
        return;
    }
    const POINT cursor = CursorInClient(m_parent);
    if (m_vbarShown) {
        const int barLeft = m_editRect.right - m_barWidth;
        const RECT up{barLeft, m_editRect.top, m_editRect.right, m_editRect.top + kScrollBoxSize};
        const RECT down{barLeft, m_editRect.bottom - kScrollBoxSize, m_editRect.right, m_editRect.bottom};
        if (Contains(up, cursor))
            SetTimer(m_parent, kEditScrollUpTimer, kScrollRepeatMs, nullptr);
        if (Contains(down, cursor))
            SetTimer(m_parent, kEditScrollDownTimer, kScrollRepeatMs, nullptr);
        const RECT bar{barLeft, m_editRect.top + kScrollBoxSize, m_editRect.right, m_editRect.bottom - kScrollBoxSize};
        if (Contains(bar, cursor))
            m_thumbDrag = true;
    }
    if (!m_readOnly && Contains(m_editRect, cursor)) {
        SetFocus();
        NotifyParent(kEditClicked, true);
    }
}

void CRichEditUI::OnLButtonDown()
{
    if (m_visible)
        Clicked();
}

void CRichEditUI::OnLButtonUp()
{
    KillTimer(m_parent, kEditScrollDownTimer);
    KillTimer(m_parent, kEditScrollUpTimer);
    m_thumbDrag = false;
}

void CRichEditUI::OnLButtonDblClick()
{
    if (m_visible && !m_readOnly && CursorInside(m_editRect))
        SetSelAll();
}

void CRichEditUI::OnRButtonUp()
{
    if (CursorInside(m_editRect))
        NotifyParent(kEditContextMenu, false);
}

void CRichEditUI::UpdateBkState(int state)
{
    if (m_bkState == state)
        return;
    m_bkState = state;
    InvalidateParent(&m_bkRect);
}

void CRichEditUI::OnMouseMove()
{
    if (m_visible)
        UpdateBkState(m_focus || CursorInside(m_bkRect) ? 1 : 0);
}

void CRichEditUI::OnMouseLeave()
{
    if (m_bkState == 1 && !m_focus)
        UpdateBkState(0);
}

void CRichEditUI::OnTimer(UINT id)
{
    if (id == kEditCaretTimer) {
        m_caretVisible = !m_caretVisible;
        // Only a focused field shows the caret, so only then is a repaint due.
        if (IsFocus())
            InvalidateParent(nullptr);
        return;
    }
    if (id != kEditScrollUpTimer && id != kEditScrollDownTimer)
        return;
    const bool focus = m_focus;
    m_focus = true;
    Send(WM_VSCROLL, id == kEditScrollUpTimer ? SB_LINEUP : SB_LINEDOWN);
    m_focus = focus;
}

void CRichEditUI::OnMenuSel(UINT cmd)
{
    if (!m_focus)
        return;
    switch (cmd) {
    case kEditMenuCopy:
        Copy();
        break;
    case kEditMenuPaste:
        Paste();
        break;
    case kEditMenuCut:
        Cut();
        break;
    default:
        break;
    }
}

bool CRichEditUI::OnSetCursor() const
{
    if (!m_visible || m_readOnly || !CursorInside(m_editRect))
        return false;
    ::SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
    return true;
}

LRESULT CRichEditUI::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NCACTIVATE:
        if (wParam == 0)
            KillFocus();
        break;
    case WM_KEYDOWN:
        // The parent may use Tab to move focus; the engine never sees it.
        if (wParam == VK_TAB)
            return 1;
        break;
    case WM_COMMAND:
        if (lParam == 0) {
            OnMenuSel(LOWORD(wParam));
        } else if (HIWORD(wParam) == kEditClicked && LOWORD(wParam) == m_id) {
            if (m_host)
                m_host->Activate();
            return 0;
        }
        break;
    case WM_TIMER:
        OnTimer(static_cast<UINT>(wParam));
        break;
    case WM_MENUSELECT:
        ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        break;
    case WM_LBUTTONUP:
        OnLButtonUp();
        break;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClick();
        break;
    case WM_RBUTTONUP:
        OnRButtonUp();
        break;
    case WM_MOUSEMOVE:
        OnMouseMove();
        break;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        break;
    default:
        break;
    }
    if (m_visible && m_focus)
        TxSendMessage(msg, wParam, lParam, nullptr);
    if (msg == WM_SIZE && wParam != SIZE_MINIMIZED)
        ResolveRects();
    return 1;
}

// ------------------------------------------------------------ text

std::wstring CRichEditUI::GetWindowTextW() const
{
    GETTEXTLENGTHEX length{GTL_DEFAULT, 1200};
    const long count = static_cast<long>(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
    if (count <= 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(count) + 1, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    get.flags = GT_DEFAULT;
    get.codepage = 1200;
    Send(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data());
}

void CRichEditUI::SetWindowTextW(const wchar_t* text)
{
    if (!text)
        return;
    if (m_cachedText == text) {
        Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        return;
    }
    m_cachedText = text;
    Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    NotifyParent(kEditTextChanged, false);
    InvalidateParent(&m_editRect);
}

long CRichEditUI::GetTextLength(DWORD flags) const
{
    GETTEXTLENGTHEX length{flags, 1200};
    return static_cast<long>(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
}

bool CRichEditUI::GetModify() const { return Send(EM_GETMODIFY) != 0; }
void CRichEditUI::SetModify(bool modified) { Send(EM_SETMODIFY, modified); }

void CRichEditUI::GetSel(CHARRANGE& range) const { Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range)); }

void CRichEditUI::GetSel(long& start, long& end) const
{
    CHARRANGE range{};
    GetSel(range);
    start = range.cpMin;
    end = range.cpMax;
}

void CRichEditUI::SetSel(CHARRANGE& range) { Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range)); }

void CRichEditUI::SetSel(long start, long end)
{
    CHARRANGE range{start, end};
    SetSel(range);
}

void CRichEditUI::SetSelEmpty()
{
    CHARRANGE range{};
    GetSel(range);
    range.cpMin = range.cpMax;
    SetSel(range);
}

void CRichEditUI::ReplaceSel(const wchar_t* text, bool canUndo)
{
    Send(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text));
}

std::wstring CRichEditUI::GetSelText() const
{
    CHARRANGE range{};
    GetSel(range);
    if (range.cpMax <= range.cpMin)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(range.cpMax - range.cpMin) + 1, L'\0');
    Send(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data());
}

void CRichEditUI::InsertText(long pos, const wchar_t* text, bool canUndo)
{
    SetSel(pos, pos);
    ReplaceSel(text, canUndo);
}

void CRichEditUI::AppendText(const wchar_t* text, bool canUndo)
{
    SetSel(-1, -1);
    ReplaceSel(text, canUndo);
}

std::wstring CRichEditUI::GetTextRange(long start, long end) const
{
    if (end <= start)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(end - start) + 1, L'\0');
    TEXTRANGEW range{{start, end}, buffer.data()};
    Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    return std::wstring(buffer.data());
}

bool CRichEditUI::GetZoom(int& numerator, int& denominator) const
{
    return Send(EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator), reinterpret_cast<LPARAM>(&denominator)) != 0;
}
bool CRichEditUI::SetZoom(int numerator, int denominator) { return Send(EM_SETZOOM, numerator, denominator) != 0; }
bool CRichEditUI::SetZoomOff() { return Send(EM_SETZOOM, 0, 0) != 0; }
WORD CRichEditUI::GetSelectionType() const { return static_cast<WORD>(Send(EM_SELECTIONTYPE)); }
bool CRichEditUI::GetAutoURLDetect() const { return Send(EM_GETAUTOURLDETECT) != 0; }
bool CRichEditUI::SetAutoURLDetect(bool enable) { return Send(EM_AUTOURLDETECT, enable) == 0; }
DWORD CRichEditUI::GetEventMask() const { return static_cast<DWORD>(Send(EM_GETEVENTMASK)); }
DWORD CRichEditUI::SetEventMask(DWORD mask) { return static_cast<DWORD>(Send(EM_SETEVENTMASK, 0, mask)); }
void CRichEditUI::HideSelection(bool hide, bool changeStyle) { Send(EM_HIDESELECTION, hide, changeStyle); }
void CRichEditUI::ScrollCaret() { Send(EM_SCROLLCARET); }

DWORD CRichEditUI::GetDefaultCharFormat(CHARFORMAT2W& format) const
{
    format.cbSize = sizeof(format);
    return static_cast<DWORD>(Send(EM_GETCHARFORMAT, 0, reinterpret_cast<LPARAM>(&format)));
}
bool CRichEditUI::SetDefaultCharFormat(CHARFORMAT2W& format)
{
    format.cbSize = sizeof(format);
    return Send(EM_SETCHARFORMAT, 0, reinterpret_cast<LPARAM>(&format)) != 0;
}
DWORD CRichEditUI::GetSelectionCharFormat(CHARFORMAT2W& format) const
{
    format.cbSize = sizeof(format);
    return static_cast<DWORD>(Send(EM_GETCHARFORMAT, 1, reinterpret_cast<LPARAM>(&format)));
}
bool CRichEditUI::SetSelectionCharFormat(CHARFORMAT2W& format)
{
    format.cbSize = sizeof(format);
    return Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format)) != 0;
}
bool CRichEditUI::SetWordCharFormat(CHARFORMAT2W& format)
{
    format.cbSize = sizeof(format);
    return Send(EM_SETCHARFORMAT, SCF_SELECTION | SCF_WORD, reinterpret_cast<LPARAM>(&format)) != 0;
}
DWORD CRichEditUI::GetParaFormat(PARAFORMAT2& format) const
{
    format.cbSize = sizeof(format);
    return static_cast<DWORD>(Send(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format)));
}
bool CRichEditUI::SetParaFormat(PARAFORMAT2& format)
{
    format.cbSize = sizeof(format);
    return Send(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format)) != 0;
}

bool CRichEditUI::Undo() { return Send(EM_UNDO) != 0; }
bool CRichEditUI::Redo() { return Send(EM_REDO) != 0; }
void CRichEditUI::EmptyUndoBuffer() { Send(EM_EMPTYUNDOBUFFER); }
UINT CRichEditUI::SetUndoLimit(UINT limit) { return static_cast<UINT>(Send(EM_SETUNDOLIMIT, limit)); }
void CRichEditUI::Copy() { Send(WM_COPY); }
void CRichEditUI::Clear() { Send(WM_CLEAR); }

void CRichEditUI::Cut()
{
    Send(WM_CUT);
    NotifyParent(kEditTextChanged, false);
}

void CRichEditUI::Paste()
{
    Send(WM_PASTE);
    NotifyParent(kEditTextChanged, false);
}

int CRichEditUI::GetLineCount() const { return static_cast<int>(Send(EM_GETLINECOUNT)); }

std::wstring CRichEditUI::GetLine(int index, int maxChars) const
{
    if (maxChars <= 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(maxChars) + 1, L'\0');
    // EM_GETLINE reads the buffer size from its first word.
    *reinterpret_cast<WORD*>(buffer.data()) = static_cast<WORD>(maxChars);
    const LRESULT copied = Send(EM_GETLINE, index, reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

int CRichEditUI::LineIndex(int line) const { return static_cast<int>(Send(EM_LINEINDEX, line)); }
int CRichEditUI::LineLength(int line) const { return static_cast<int>(Send(EM_LINELENGTH, line)); }
bool CRichEditUI::LineScroll(int lines, int chars) { return Send(EM_LINESCROLL, chars, lines) != 0; }
long CRichEditUI::LineFromChar(long index) const { return static_cast<long>(Send(EM_EXLINEFROMCHAR, 0, index)); }

POINT CRichEditUI::PosFromChar(UINT index) const
{
    POINTL point{};
    Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), index);
    return POINT{point.x, point.y};
}

int CRichEditUI::CharFromPos(POINT point) const
{
    POINTL p{point.x, point.y};
    return static_cast<int>(Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&p)));
}

long CRichEditUI::StreamIn(int format, EDITSTREAM& stream)
{
    return static_cast<long>(Send(EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream)));
}
long CRichEditUI::StreamOut(int format, EDITSTREAM& stream)
{
    return static_cast<long>(Send(EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&stream)));
}

void CRichEditUI::LineUp() { Send(WM_VSCROLL, SB_LINEUP); }
void CRichEditUI::LineDown() { Send(WM_VSCROLL, SB_LINEDOWN); }
void CRichEditUI::PageUp() { Send(WM_VSCROLL, SB_PAGEUP); }
void CRichEditUI::PageDown() { Send(WM_VSCROLL, SB_PAGEDOWN); }
void CRichEditUI::HomeUp() { Send(WM_VSCROLL, SB_TOP); }
void CRichEditUI::EndDown() { Send(WM_VSCROLL, SB_BOTTOM); }
void CRichEditUI::LineLeft() { Send(WM_HSCROLL, SB_LINEUP); }
void CRichEditUI::LineRight() { Send(WM_HSCROLL, SB_LINEDOWN); }
void CRichEditUI::PageLeft() { Send(WM_HSCROLL, SB_PAGEUP); }
void CRichEditUI::PageRight() { Send(WM_HSCROLL, SB_PAGEDOWN); }
void CRichEditUI::HomeLeft() { Send(WM_HSCROLL, SB_TOP); }
void CRichEditUI::EndRight() { Send(WM_HSCROLL, SB_BOTTOM); }

IDropTarget* CRichEditUI::GetTxDropTarget() const
{
    if (!m_host || !m_host->Services())
        return nullptr;
    IDropTarget* target = nullptr;
    if (FAILED(m_host->Services()->TxGetDropTarget(&target)))
        return nullptr;
    return target;
}

// ------------------------------------------------------------ properties

void CRichEditUI::SetRich(bool rich)
{
    m_rich = rich;
    if (!m_host)
        return;
    m_host->SetRichText(rich);
    m_host->PropertyChanged(TXTBIT_RICHTEXT, rich);
}

void CRichEditUI::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    m_style = readOnly ? (m_style | ES_READONLY) : (m_style & ~static_cast<DWORD>(ES_READONLY));
    if (!m_host)
        return;
    m_host->SetStyle(
        readOnly ? (m_host->GetStyle() | ES_READONLY) : (m_host->GetStyle() & ~static_cast<DWORD>(ES_READONLY)));
    m_host->PropertyChanged(TXTBIT_READONLY, readOnly);
}

void CRichEditUI::SetWordWrap(bool wrap)
{
    m_wordWrap = wrap;
    if (!m_host)
        return;
    m_host->SetWordWrap(wrap);
    m_host->PropertyChanged(TXTBIT_WORDWRAP, wrap);
}

wchar_t CRichEditUI::SetPasswordChar(wchar_t ch)
{
    m_password = true;
    if (!m_host)
        return 0;
    wchar_t previous = 0;
    m_host->TxGetPasswordChar(&previous);
    m_host->SetPasswordChar(ch);
    m_host->PropertyChanged(TXTBIT_USEPASSWORD, ch != 0);
    return previous;
}

void CRichEditUI::SetLimitText(int limit)
{
    m_limit = limit > 0 ? limit : 0x7FFF;
    if (!m_host)
        return;
    m_host->SetMaxLength(static_cast<DWORD>(m_limit));
    m_host->PropertyChanged(TXTBIT_MAXLENGTHCHANGE, true);
    // Wine's engine reads the limit from the message only.
    Send(EM_EXLIMITTEXT, 0, m_limit);
}

void CRichEditUI::SetTextColor(COLORREF color)
{
    m_engineTextColor = color;
    if (!m_host)
        return;
    m_host->SetTextColor(color);
    m_host->CharFormatChanged(!m_rich);
}

void CRichEditUI::SetFont(int height)
{
    LOGFONTW font{};
    font.lfHeight = ScaleToWindow(m_parent, height);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(font.lfFaceName, kDefaultFace, LF_FACESIZE - 1);
    m_fontSize = height;
    if (!m_host)
        return;
    m_host->SetCharFormat(font, m_engineTextColor);
    m_host->CharFormatChanged(!m_rich);
}

void CRichEditUI::SetFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    LOGFONTW font = StockFont(DEFAULT_GUI_FONT);
    wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfHeight = -ScaleToWindow(m_parent, size);
    if (bold)
        font.lfWeight += FW_BOLD;
    font.lfUnderline = underline;
    font.lfItalic = italic;
    m_fontSize = size;
    if (!m_host)
        return;
    m_host->SetCharFormat(font, m_engineTextColor);
    m_host->CharFormatChanged(!m_rich);
}

bool CRichEditUI::ModifyStyle(DWORD remove, DWORD add, bool redraw)
{
    const DWORD style = (m_style & ~remove) | add;
    if (style == m_style)
        return false;
    m_style = style;
    if (redraw)
        InvalidateParent(&m_bkRect);
    return true;
}

void CRichEditUI::OnScrollBarRequest(int bar, bool show, LONG, LONG, int, bool)
{
    if (bar == SB_VERT)
        m_vbarShown = show;
}

// ------------------------------------------------------------ painting

void CRichEditUI::DrawBackground(HDC hdc, bool stretchLeftOnly)
{
    if (!m_bkLeft || !m_bkMiddle || (!stretchLeftOnly && !m_bkRight))
        return;
    const bool single = m_bkMiddle->GetWidth() == 1;
    // A hover comes with a mouse move; a paint only checks that a hover it
    // shows still holds (the pointer may have left the window meanwhile).
    // Reading the pointer is an X server round trip under Wine.
    m_bkState = (!single && (m_focus || (m_bkState == 1 && CursorInside(m_bkRect)))) ? 1 : 0;
    const int slices = single ? 1 : 2;
    const int width = Width(m_bkRect);
    const int height = Height(m_bkRect);
    CPaintKey key;
    key << m_bkLeft << m_bkMiddle << m_bkRight << stretchLeftOnly << slices << m_bkState << width << height;
    PaintCached(
        m_bkCache, hdc, m_bkRect.left, m_bkRect.top, key,
        [&] {
            return RECT{-1, -1, width + 1, height + 1};
        },
        [&](HDC dc, int x, int y) {
            Gdiplus::Graphics g(dc);
            const int leftW = static_cast<int>(m_bkLeft->GetWidth()) / slices;
            const int leftH = static_cast<int>(m_bkLeft->GetHeight());
            if (stretchLeftOnly) {
                DrawImageStretched(g, m_bkLeft, Gdiplus::Rect(x, y, width, height), m_bkState * leftW, 0, leftW, leftH);
                return;
            }
            const int rightW = static_cast<int>(m_bkRight->GetWidth()) / slices;
            const int rightH = static_cast<int>(m_bkRight->GetHeight());
            DrawImageStretched(g, m_bkLeft, Gdiplus::Rect(x, y, leftW, height), m_bkState * leftW, 0, leftW, leftH);
            const int middleLeft = x + leftW;
            const int middleRight = x + width - rightW;
            DrawImageStretched(g, m_bkRight, Gdiplus::Rect(middleLeft, y, middleRight - middleLeft, height),
                m_bkState * rightW, 0, 1, rightH);
            DrawImageStretched(
                g, m_bkRight, Gdiplus::Rect(middleRight, y, rightW, height), m_bkState * rightW, 0, rightW, rightH);
        });
}

void CRichEditUI::DrawScrollBar(HDC hdc)
{
    if (!m_vbarShown)
        return;
    Gdiplus::Graphics g(hdc);
    const int left = m_editRect.right - m_barWidth;
    const int length = Height(m_editRect);
    const int channel = length - 2 * kScrollBoxSize;
    Gdiplus::SolidBrush white(Gdiplus::Color(255, 255, 255, 255));
    Gdiplus::SolidBrush green(Gdiplus::Color(255, 0, 255, 0));
    Gdiplus::SolidBrush blue(Gdiplus::Color(255, 0, 0, 255));
    g.FillRectangle(&white, left, m_editRect.top, m_barWidth, length);
    if (m_vbarMax > 0 && channel > 0) {
        const int thumb = static_cast<int>(static_cast<long long>(length) * channel / m_vbarMax);
        const int top = kScrollBoxSize + static_cast<int>(static_cast<long long>(m_vbarPos) * channel / m_vbarMax);
        g.FillRectangle(&green, left, m_editRect.top + top, m_barWidth, thumb);
    }
    g.FillRectangle(&blue, left, m_editRect.top, m_barWidth, kScrollBoxSize);
    g.FillRectangle(&blue, left, m_editRect.bottom - kScrollBoxSize, m_barWidth, kScrollBoxSize);
}

void CRichEditUI::OnPaint(HDC hdc)
{
    if (!m_visible)
        return;
    DrawBackground(hdc, false);
    if (m_host && m_host->Services()) {
        RECTL bounds{m_editRect.left, m_editRect.top, m_editRect.right, m_editRect.bottom};
        if (m_vbarShown)
            bounds.right -= m_barWidth;
        m_host->Services()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, hdc, nullptr, &bounds, nullptr, nullptr,
            nullptr, 0, m_focus ? TXTVIEW_ACTIVE : TXTVIEW_INACTIVE);
    }
    DrawScrollBar(hdc);
}

void CRichEditUI::OnPaint2(HDC hdc, HBITMAP)
{
    if (!m_visible)
        return;
    DrawBackground(hdc, true);
    DrawOwnText(hdc);
    DrawScrollBar(hdc);
}

// Draws the text in runs that start at the assumed advances, so the caret and
// the selection line up with the glyphs of the half/full-width default face.
void CRichEditUI::DrawOwnText(HDC hdc)
{
    const std::wstring text = GetWindowTextW();
    const std::wstring shown = m_password ? std::wstring(text.size(), L'*') : text;
    long start = 0;
    long end = 0;
    GetSel(start, end);
    const long length = static_cast<long>(shown.size());
    if (start > length)
        start = length;
    if (end < 0 || end > length)
        end = length;

    // Run starts relative to the edit rectangle's left edge.
    std::vector<int> x(shown.size() + 1);
    x[0] = 2;
    for (size_t i = 0; i < shown.size(); ++i)
        x[i + 1] = x[i] + Advance(shown[i]);
    const int height = Height(m_editRect);

    CPaintKey key;
    key << shown << start << end << height << m_drawFace << m_drawFontSize << m_drawTextColor;
    const auto area = [&] {
        if (shown.empty())
            return RECT{};
        // The runs start at the assumed advances but run on at the face's
        // own, so the whole text's width past the last start bounds them.
        const SIZE extent = MeasureTextGdiplus(shown, m_drawFace.c_str(), m_drawFontSize);
        return RECT{-2, -2, x[length] + extent.cx + 3, (height > extent.cy + 1 ? height : extent.cy + 1) + 3};
    };
    PaintCached(m_textCache, hdc, m_editRect.left, m_editRect.top, key, area, [&](HDC dc, int left, int top) {
        ScopedFont gdiFont(m_drawFace.c_str(), m_drawFontSize);
        const LOGFONTW logFont = GdiplusLogFont(dc, gdiFont.Get());
        Gdiplus::Font font(dc, &logFont);
        Gdiplus::Graphics g(dc);
        g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
        if (start != end) {
            Gdiplus::SolidBrush selection(TextArgb(kSelectionColor));
            g.FillRectangle(&selection, left + x[start], top, x[end] - x[start], height);
        }
        Gdiplus::SolidBrush ink(TextArgb(m_drawTextColor));
        Gdiplus::SolidBrush white(TextArgb(kWhite));
        const Gdiplus::StringFormat* format = Gdiplus::StringFormat::GenericTypographic();
        // Three runs: before, inside and after the selection.
        const long bounds[] = {0, start, end, length};
        for (int run = 0; run < 3; ++run) {
            const long from = bounds[run];
            const long to = bounds[run + 1];
            if (to <= from)
                continue;
            g.DrawString(shown.c_str() + from, static_cast<int>(to - from), &font,
                Gdiplus::PointF(static_cast<float>(left + x[from]), static_cast<float>(top + 1)), format,
                run == 1 ? &white : &ink);
        }
    });
    // The blinking caret stays out of the picture, so blinking redraws no text.
    if (start == end && m_caretVisible && IsFocus()) {
        Gdiplus::Graphics g(hdc);
        Gdiplus::Pen caret(TextArgb(kDefaultTextColor), 1.0f);
        const int caretX = m_editRect.left + x[start];
        g.DrawLine(&caret, caretX, m_editRect.top, caretX, m_editRect.bottom - 1);
    }
}
