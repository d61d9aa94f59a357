#pragma once
#include <string>
#include <vector>

#include <windows.h>
// The control's interfaces need the Windows types first.
#include <exdisp.h>
#include <oaidl.h>

#include "browser_events.h"
#include "browser_frame.h"
#include "browser_site.h"
#include "skinkit/window_base.h"
#include "win32kit/scoped_win.h"

// Posted to the owner when the control has a page in place.
constexpr UINT kPageLoadedMessage = WM_USER + 256;
// Sent to the view with lParam a MSG*: the control's accelerators get a look first.
constexpr UINT kForwardMessage = 0x037F;

// A child window hosting the system's web browser control. The host objects
// (site, frame, event sink, window.external) are members: they live exactly
// as long as the view and are let go of by the control before they go.
class CBrowserView : public CWindowBase {
public:
    // The object pages reach as window.external. Its few method names tell
    // the view's owner about a new avatar or a picture to comment on.
    class CBrowserExternal : public IDispatch {
    public:
        explicit CBrowserExternal(HWND owner)
            : m_owner(owner)
        {
        }
        void SetOwner(HWND owner) { m_owner = owner; }
        // Whose page may call: a page elsewhere gets nothing.
        void SetView(const CBrowserView* view) { m_view = view; }

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(
            REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
            VARIANT* result, EXCEPINFO* error, UINT* argumentError) override;

    private:
        HWND m_owner;
        const CBrowserView* m_view = nullptr;
    };

    CBrowserView();
    ~CBrowserView() override;
    CBrowserView(const CBrowserView&) = delete;
    CBrowserView& operator=(const CBrowserView&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"QNBrowserView"; }

    // Whether this system can show web pages at all: the control may exist
    // without the HTML engine behind it.
    static bool HtmlEngineAvailable();

    // A hidden child of `owner` over `rect`, with the control in place in it.
    // False when the window or the control could not be made.
    bool Create(HWND owner, const RECT& rect);
    HRESULT Navigate(const std::wstring& address);
    void Show(bool visible);

    // The host's interfaces, for the control and for the tests.
    IOleClientSite* Site() { return &m_site; }
    IDocHostUIHandler* UiHandler() { return &m_site; }
    IDispatch* Events() { return &m_events; }
    IDispatch* External() { return &m_external; }
    IWebBrowser2* Browser() const { return m_browser.Get(); }

    // From the event sink.
    void OnDocumentComplete();

    // Pages from this address's scheme, host and port may call the client.
    void SetTrustedOrigin(const std::wstring& address) { m_trustedOrigin = address; }
    // The address of the page in the control now; empty when it cannot tell.
    std::wstring PageAddress() const;
    bool PageIsTrusted() const;
    // Whether both addresses are http(s) with the same scheme, host and port.
    static bool SameOrigin(const std::wstring& first, const std::wstring& second);

private:
    void Resize(int width, int height);
    bool ForwardToControl(MSG* msg);
    void Release();

    CBrowserSite m_site;
    CBrowserFrame m_frame;
    CBrowserEvents m_events;
    CBrowserExternal m_external;
    win32kit::ComPtr<IOleObject> m_object;
    win32kit::ComPtr<IWebBrowser2> m_browser;
    win32kit::ComPtr<IConnectionPoint> m_eventPoint;
    DWORD m_eventCookie = 0;
    std::wstring m_trustedOrigin;
};
