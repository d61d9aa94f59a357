#include "browser_view.h"

#include <mshtml.h>
#include <ocidl.h>

namespace {

// The HTML document class: what the control needs to show any page.
constexpr CLSID kHtmlDocument = {0x25336920, 0x03f9, 0x11cf, {0x8f, 0xd0, 0x00, 0xaa, 0x00, 0x68, 0x6f, 0x13}};
// The document's hook for a host UI handler (MinGW's uuid library lacks it).
constexpr IID kCustomDoc = {0x3050f3f0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

class ScopedBstr {
public:
    explicit ScopedBstr(const std::wstring& text)
        : m_text(SysAllocStringLen(text.c_str(), UINT(text.size())))
    {
    }
    ~ScopedBstr() { SysFreeString(m_text); }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

}  // namespace

CBrowserView::CBrowserView()
    : m_events(*this)
    , m_external(nullptr)
{
}

CBrowserView::~CBrowserView()
{
    Release();
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CBrowserView::HtmlEngineAvailable()
{
    win32kit::ComPtr<IUnknown> document;
    return SUCCEEDED(CoCreateInstance(
        kHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(document.Out())));
}

bool CBrowserView::Create(HWND owner, const RECT& rect)
{
    if (m_object)
        return true;
    if (!m_hWnd && !CWindowBase::Create(owner, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, rect, nullptr))
        return false;
    m_external.SetOwner(owner);
    m_frame.Bind(GetAncestor(m_hWnd, GA_ROOT));
    m_site.Bind(m_hWnd, &m_frame, &m_external);
    if (FAILED(CoCreateInstance(
            CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, reinterpret_cast<void**>(m_object.Out()))))
        return false;
    RECT area{};
    GetClientRect(m_hWnd, &area);
    if (FAILED(m_object->SetClientSite(&m_site))
        || FAILED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &m_site, 0, m_hWnd, &area))
        || FAILED(m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(m_browser.Out())))) {
        Release();
        return false;
    }
    win32kit::ComPtr<IConnectionPointContainer> points;
    if (SUCCEEDED(m_browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(points.Out())))
        && SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, m_eventPoint.Out()))
        && FAILED(m_eventPoint->Advise(&m_events, &m_eventCookie)))
        m_eventPoint.Reset();
    return true;
}

// The control lets go of the host's objects before they go with the view.
void CBrowserView::Release()
{
    if (m_eventPoint && m_eventCookie)
        m_eventPoint->Unadvise(m_eventCookie);
    m_eventPoint.Reset();
    m_eventCookie = 0;
    m_browser.Reset();
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
    }
    m_object.Reset();
}

HRESULT CBrowserView::Navigate(const std::wstring& address)
{
    if (!m_browser)
        return E_FAIL;
    ScopedBstr url(address);
    ScopedBstr self(L"_self");
    VARIANT empty;
    VariantInit(&empty);
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_BSTR;
    target.bstrVal = self.Get();
    return m_browser->Navigate(url.Get(), &empty, &target, &empty, &empty);
}

void CBrowserView::Show(bool visible)
{
    if (m_hWnd)
        ::ShowWindow(m_hWnd, visible ? SW_SHOW : SW_HIDE);
}

// Every loaded page gets this host's UI handler, and so window.external.
void CBrowserView::OnDocumentComplete()
{
    if (m_hParent)
        PostMessageW(m_hParent, kPageLoadedMessage, 0, 0);
    if (!m_browser)
        return;
    win32kit::ComPtr<IDispatch> document;
    if (FAILED(m_browser->get_Document(document.Out())) || !document)
        return;
    win32kit::ComPtr<ICustomDoc> custom;
    if (SUCCEEDED(document->QueryInterface(kCustomDoc, reinterpret_cast<void**>(custom.Out()))))
        custom->SetUIHandler(&m_site);
}

void CBrowserView::Resize(int width, int height)
{
    win32kit::ComPtr<IOleInPlaceObject> inPlace;
    if (!m_object || FAILED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.Out()))))
        return;
    const RECT area{0, 0, width, height};
    inPlace->SetObjectRects(&area, &area);
}

bool CBrowserView::ForwardToControl(MSG* msg)
{
    win32kit::ComPtr<IOleInPlaceActiveObject> active;
    if (!msg || !m_browser
        || FAILED(m_browser->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(active.Out()))))
        return false;
    return active->TranslateAccelerator(msg) == S_OK;
}

BOOL CBrowserView::HandleMessage(HWND, UINT msg, WPARAM, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_SIZE:
        Resize(LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case kForwardMessage:
        result = ForwardToControl(reinterpret_cast<MSG*>(lParam)) ? TRUE : FALSE;
        return TRUE;
    case WM_DESTROY:
        Release();
        return TRUE;
    default:
        return FALSE;
    }
}
