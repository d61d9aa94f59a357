#pragma once

#include <windows.h>
#include <imm.h>
#include <richedit.h>
#include <textserv.h>

#include "win32kit/scoped_win.h"

class CRichEditUI;

// The host side of riched20's windowless text services: answers the engine
// on behalf of one CRichEditUI and its parent window. Reference counted; the
// last Release frees the engine and the host.
class CTxtWinHost : public ITextHost {
public:
    // Creates the host and its engine; null when riched20 is unavailable or
    // refuses.
    static win32kit::ComPtr<CTxtWinHost> Create(CRichEditUI* owner, DWORD style, const LOGFONTW& font, COLORREF color);

    ITextServices* Services() const { return m_services.Get(); }

    void SetClientRect(const RECT& rect);
    void SetCharFormat(const LOGFONTW& font, COLORREF color);
    // Hands the default character format to the engine; wholeText also
    // re-formats the text already there.
    void CharFormatChanged(bool wholeText);
    void SetTextColor(COLORREF color);
    void SetPasswordChar(wchar_t ch);
    void SetMaxLength(DWORD length);
    void SetStyle(DWORD style) { m_style = style; }
    DWORD GetStyle() const { return m_style; }
    void SetWordWrap(bool wrap) { m_wordWrap = wrap; }
    void SetRichText(bool rich) { m_richText = rich; }
    void SetTransparent(bool transparent) { m_transparent = transparent; }
    void SetInPlaceActive(bool active) { m_inPlaceActive = active; }
    bool IsInPlaceActive() const { return m_inPlaceActive; }
    // Tells the engine one property changed; bit is a TXTBIT_ value.
    void PropertyChanged(DWORD bit, bool on);
    HRESULT Activate();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ITextHost
    HDC TxGetDC() override;
    INT TxReleaseDC(HDC hdc) override;
    WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override;
    WINBOOL TxEnableScrollBar(INT flags, INT arrows) override;
    WINBOOL TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL redraw) override;
    WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override;
    void TxInvalidateRect(LPCRECT rect, WINBOOL mode) override;
    void TxViewChange(WINBOOL update) override;
    WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
    WINBOOL TxShowCaret(WINBOOL show) override;
    WINBOOL TxSetCaretPos(INT x, INT y) override;
    WINBOOL TxSetTimer(UINT id, UINT timeout) override;
    void TxKillTimer(UINT id) override;
    void TxScrollWindowEx(
        INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update, LPRECT updateRect, UINT flags) override;
    void TxSetCapture(WINBOOL capture) override;
    void TxSetFocus() override;
    void TxSetCursor(HCURSOR cursor, WINBOOL text) override;
    WINBOOL TxScreenToClient(LPPOINT point) override;
    WINBOOL TxClientToScreen(LPPOINT point) override;
    HRESULT TxActivate(LONG* oldState) override;
    HRESULT TxDeactivate(LONG newState) override;
    HRESULT TxGetClientRect(LPRECT rect) override;
    HRESULT TxGetViewInset(LPRECT rect) override;
    HRESULT TxGetCharFormat(const CHARFORMATW** format) override;
    HRESULT TxGetParaFormat(const PARAFORMAT** format) override;
    COLORREF TxGetSysColor(int index) override;
    HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
    HRESULT TxGetMaxLength(DWORD* length) override;
    HRESULT TxGetScrollBars(DWORD* scrollBars) override;
    HRESULT TxGetPasswordChar(TCHAR* ch) override;
    HRESULT TxGetAcceleratorPos(LONG* pos) override;
    HRESULT TxGetExtent(LPSIZEL extent) override;
    HRESULT OnTxCharFormatChange(const CHARFORMATW* format) override;
    HRESULT OnTxParaFormatChange(const PARAFORMAT* format) override;
    HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
    HRESULT TxNotify(DWORD code, void* data) override;
    HIMC TxImmGetContext() override;
    void TxImmReleaseContext(HIMC context) override;
    HRESULT TxGetSelectionBarWidth(LONG* width) override;

private:
    CTxtWinHost(CRichEditUI* owner, DWORD style);
    virtual ~CTxtWinHost();
    CTxtWinHost(const CTxtWinHost&) = delete;
    CTxtWinHost& operator=(const CTxtWinHost&) = delete;

    bool StartEngine();
    HWND Parent() const;

    LONG m_refs = 1;
    CRichEditUI* m_owner;
    HMODULE m_richEdit = nullptr;
    win32kit::ComPtr<ITextServices> m_services;
    CHARFORMAT2W m_charFormat{};
    PARAFORMAT2 m_paraFormat{};
    DWORD m_maxLength = 0x7FFF;
    DWORD m_style;
    bool m_wordWrap = false;
    bool m_richText = false;
    bool m_inPlaceActive = false;
    bool m_transparent = false;
    bool m_timerRunning = false;
    bool m_usePassword = false;
    RECT m_clientRect{};
    SIZEL m_extent{};
    wchar_t m_passwordChar = 0;
    LONG m_acceleratorPos = -1;
};
