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

struct Origin {
    std::wstring scheme;
    std::wstring host;
    std::wstring port;
};

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
    return text;
}

// Scheme, host and port of an absolute http(s) address; false for anything else.
bool ParseOrigin(const std::wstring& address, Origin& origin)
{
    const std::size_t colon = address.find(L"://");
    if (colon == std::wstring::npos)
        return false;
    origin.scheme = Lower(address.substr(0, colon));
    if (origin.scheme != L"http" && origin.scheme != L"https")
        return false;
    const std::size_t start = colon + 3;
    const std::size_t end = address.find_first_of(L"/?#\\", start);
    std::wstring authority = address.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    // Anything before an "@" is a user name, not the host.
    const std::size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos)
        authority.erase(0, at + 1);
    const std::size_t portAt = authority.rfind(L':');
    const bool hasPort = portAt != std::wstring::npos && authority.find(L']', portAt) == std::wstring::npos;
    origin.host = Lower(authority.substr(0, hasPort ? portAt : std::wstring::npos));
    origin.port = hasPort ? authority.substr(portAt + 1) : std::wstring();
    if (origin.port.empty())
        origin.port = origin.scheme == L"https" ? L"443" : L"80";
    return !origin.host.empty();
}

}  // namespace

bool CBrowserView::SameOrigin(const std::wstring& first, const std::wstring& second)
{
    Origin a, b;
    if (!ParseOrigin(first, a) || !ParseOrigin(second, b))
        return false;
    return a.scheme == b.scheme && a.host == b.host && a.port == b.port;
}

std::wstring CBrowserView::PageAddress() const
{
    BSTR location = nullptr;
    if (!m_browser || FAILED(m_browser->get_LocationURL(&location)) || !location)
        return {};
    std::wstring address(location, SysStringLen(location));
    SysFreeString(location);
    return address;
}

bool CBrowserView::PageIsTrusted() const { return SameOrigin(PageAddress(), m_trustedOrigin); }

CBrowserView::CBrowserView()
    : m_events(*this)
    , m_external(nullptr)
{
    m_external.SetView(this);
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
