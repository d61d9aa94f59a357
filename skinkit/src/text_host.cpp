#include "text_host.h"

#include <cstdlib>
#include <cwchar>

#include "skinkit/rich_edit.h"

namespace {

// MinGW declares these IIDs but ships no definition.
const IID kIidTextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
const IID kIidTextHost = {0xc5bdd8d0, 0xd26e, 0x11ce, {0xa8, 0x9e, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};

int ScreenDpiY()
{
    const int dpi = GetDeviceCaps(win32kit::ScopedGetDC(nullptr), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

CTxtWinHost::CTxtWinHost(CRichEditUI* owner, DWORD style)
    : m_owner(owner)
    , m_style(style)
{
}

CTxtWinHost::~CTxtWinHost()
{
    if (m_services)
        m_services->OnTxInPlaceDeactivate();
}

win32kit::ComPtr<CTxtWinHost> CTxtWinHost::Create(CRichEditUI* owner, DWORD style, const LOGFONTW& font, COLORREF color)
{
    auto host = win32kit::ComPtr<CTxtWinHost>::Adopt(new CTxtWinHost(owner, style));
    host->SetCharFormat(font, color);
    PARAFORMAT2& pf = host->m_paraFormat;
    pf.cbSize = sizeof(pf);
    pf.dwMask = PFM_ALIGNMENT | PFM_TABSTOPS;
    pf.wAlignment = (style & ES_CENTER) ? PFA_CENTER : ((style & ES_RIGHT) ? PFA_RIGHT : PFA_LEFT);
    pf.cTabCount = 1;
    pf.rgxTabs[0] = 720;
    host->m_wordWrap = !(style & (ES_AUTOHSCROLL | WS_HSCROLL));
    host->m_richText = owner->IsRich();
    host->m_inPlaceActive = true;
    if (!host->StartEngine())
        return {};
    return host;
}

bool CTxtWinHost::StartEngine()
{
    // The engine stays loaded until the process ends: objects it hands out
    // outlive any one field (after a copy the clipboard holds its data
    // object, which COM still calls when it shuts down).
    m_richEdit = LoadLibraryW(L"riched20.dll");
    if (!m_richEdit)
        return false;
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"riched20.dll", &pinned);
    auto create = reinterpret_cast<PCreateTextServices>(
        reinterpret_cast<void*>(GetProcAddress(m_richEdit, "CreateTextServices")));
    if (!create)
        return false;
    win32kit::ComPtr<IUnknown> unknown;
    if (FAILED(create(nullptr, this, unknown.Out())) || !unknown)
        return false;
    const HRESULT hr = unknown->QueryInterface(kIidTextServices, reinterpret_cast<void**>(m_services.Out()));
    return SUCCEEDED(hr) && m_services;
}

HWND CTxtWinHost::Parent() const { return m_owner->GetParentHWND(); }

void CTxtWinHost::SetClientRect(const RECT& rect)
{
    m_clientRect = rect;
    const win32kit::ScopedGetDC dc(Parent());
    const int dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    m_extent.cx = dpiX > 0 ? (rect.right - rect.left - 2) * 2540 / dpiX : 0;
    m_extent.cy = dpiY > 0 ? (rect.bottom - rect.top - 2) * 2540 / dpiY : 0;
}

void CTxtWinHost::SetCharFormat(const LOGFONTW& font, COLORREF color)
{
    CHARFORMAT2W& cf = m_charFormat;
    cf = CHARFORMAT2W{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_SIZE | CFM_OFFSET | CFM_FACE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    cf.yHeight = std::abs(font.lfHeight) * 1440 / ScreenDpiY();
    cf.yOffset = 0;
    cf.crTextColor = color;
    if (font.lfWeight >= FW_BOLD)
        cf.dwEffects |= CFE_BOLD;
    if (font.lfItalic)
        cf.dwEffects |= CFE_ITALIC;
    if (font.lfUnderline)
        cf.dwEffects |= CFE_UNDERLINE;
    cf.bCharSet = font.lfCharSet;
    cf.bPitchAndFamily = font.lfPitchAndFamily;
    wcsncpy(cf.szFaceName, font.lfFaceName, LF_FACESIZE - 1);
    cf.szFaceName[LF_FACESIZE - 1] = L'\0';
}

void CTxtWinHost::SetTextColor(COLORREF color)
{
    m_charFormat.crTextColor = color;
    m_charFormat.dwEffects &= ~CFE_AUTOCOLOR;
}

// Wine's text services ignore TXTBIT_CHARFORMATCHANGE and keep the format
// they were created with, so the format also goes in by message: as the
// default, and on all text of a plain-text field (which has one format).
void CTxtWinHost::CharFormatChanged(bool wholeText)
{
    PropertyChanged(TXTBIT_CHARFORMATCHANGE, true);
    if (!m_services)
        return;
    LRESULT result = 0;
    const LPARAM format = reinterpret_cast<LPARAM>(&m_charFormat);
    m_services->TxSendMessage(EM_SETCHARFORMAT, SCF_DEFAULT, format, &result);
    if (wholeText)
        m_services->TxSendMessage(EM_SETCHARFORMAT, SCF_ALL, format, &result);
}

void CTxtWinHost::SetPasswordChar(wchar_t ch)
{
    m_passwordChar = ch;
    m_usePassword = ch != 0;
}

void CTxtWinHost::SetMaxLength(DWORD length) { m_maxLength = length; }

void CTxtWinHost::PropertyChanged(DWORD bit, bool on)
{
    if (m_services)
        m_services->OnTxPropertyBitsChange(bit, on ? bit : 0);
}

HRESULT CTxtWinHost::Activate()
{
    if (!m_services)
        return E_FAIL;
    const HRESULT hr = m_services->OnTxInPlaceActivate(&m_clientRect);
    m_inPlaceActive = SUCCEEDED(hr);
    return hr;
}

HRESULT STDMETHODCALLTYPE CTxtWinHost::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidTextHost)) {
        *object = static_cast<ITextHost*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

ULONG STDMETHODCALLTYPE CTxtWinHost::Release()
{
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

HDC CTxtWinHost::TxGetDC() { return GetDC(Parent()); }

INT CTxtWinHost::TxReleaseDC(HDC hdc) { return ReleaseDC(Parent(), hdc); }

WINBOOL CTxtWinHost::TxShowScrollBar(INT bar, WINBOOL show)
{
    if (bar == SB_VERT || bar == SB_BOTH)
        m_owner->OnScrollBarRequest(SB_VERT, show != FALSE, 0, 0, 0, false);
    return TRUE;
}

WINBOOL CTxtWinHost::TxEnableScrollBar(INT, INT) { return TRUE; }

WINBOOL CTxtWinHost::TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL)
{
    if (bar == SB_VERT)
        m_owner->m_vbarMin = minPos, m_owner->m_vbarMax = maxPos;
    return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollPos(INT bar, INT pos, WINBOOL)
{
    if (bar == SB_VERT)
        m_owner->m_vbarPos = pos;
    return TRUE;
}

void CTxtWinHost::TxInvalidateRect(LPCRECT rect, WINBOOL mode)
{
    InvalidateRect(Parent(), rect ? rect : &m_clientRect, mode);
}

void CTxtWinHost::TxViewChange(WINBOOL update)
{
    if (update)
        UpdateWindow(Parent());
}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height)
{
    return CreateCaret(Parent(), bitmap, width, height);
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL show) { return show ? ShowCaret(Parent()) : HideCaret(Parent()); }

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y) { return SetCaretPos(x, y); }

WINBOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout)
{
    m_timerRunning = true;
    return SetTimer(Parent(), id, timeout, nullptr) != 0;
}

void CTxtWinHost::TxKillTimer(UINT id)
{
    KillTimer(Parent(), id);
    m_timerRunning = false;
}

void CTxtWinHost::TxScrollWindowEx(
    INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update, LPRECT updateRect, UINT flags)
{
    ScrollWindowEx(Parent(), dx, dy, scroll, clip, update, updateRect, flags);
}

void CTxtWinHost::TxSetCapture(WINBOOL capture)
{
    if (capture) {
        SetCapture(Parent());
    } else {
        ReleaseCapture();
    }
}

void CTxtWinHost::TxSetFocus() { ::SetFocus(Parent()); }

void CTxtWinHost::TxSetCursor(HCURSOR cursor, WINBOOL) { ::SetCursor(cursor); }

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT point) { return ScreenToClient(Parent(), point); }

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT point) { return ClientToScreen(Parent(), point); }

HRESULT CTxtWinHost::TxActivate(LONG* oldState)
{
    if (oldState)
        *oldState = 0;
    return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG) { return S_OK; }

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rect)
{
    *rect = m_clientRect;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rect)
{
    *rect = RECT{};
    return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format)
{
    *format = reinterpret_cast<const CHARFORMATW*>(&m_charFormat);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format)
{
    *format = reinterpret_cast<const PARAFORMAT*>(&m_paraFormat);
    return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) { return GetSysColor(index); }

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style)
{
    *style = TXTBACK_TRANSPARENT;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length)
{
    *length = m_maxLength;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* scrollBars)
{
    *scrollBars = m_style & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch)
{
    *ch = m_passwordChar;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* pos)
{
    *pos = m_acceleratorPos;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL extent)
{
    *extent = m_extent;
    return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*) { return S_OK; }

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*) { return S_OK; }

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits)
{
    DWORD value = 0;
    if (m_style & ES_MULTILINE)
        value |= TXTBIT_MULTILINE;
    if (m_style & ES_READONLY)
        value |= TXTBIT_READONLY;
    if ((m_style & ES_PASSWORD) || m_usePassword)
        value |= TXTBIT_USEPASSWORD;
    if (!(m_style & ES_NOHIDESEL))
        value |= TXTBIT_HIDESELECTION;
    if (m_richText)
        value |= TXTBIT_RICHTEXT;
    if (m_wordWrap)
        value |= TXTBIT_WORDWRAP;
    *bits = value & mask;
    return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data)
{
    if (code == EN_REQUESTRESIZE && data) {
        const RECT& requested = static_cast<REQRESIZE*>(data)->rc;
        const RECT edit = m_owner->GetWindowRect();
        SetClientRect(RECT{edit.left, edit.top, edit.left + (requested.right - requested.left),
            edit.top + (requested.bottom - requested.top)});
        return S_OK;
    }
    m_owner->OnTxNotify(code, data);
    return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext() { return ImmGetContext(Parent()); }

void CTxtWinHost::TxImmReleaseContext(HIMC context) { ImmReleaseContext(Parent(), context); }

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width)
{
    *width = 0;
    return S_OK;
}
