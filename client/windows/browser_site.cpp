#include "browser_site.h"

void CBrowserSite::Bind(HWND window, IOleInPlaceFrame* frame, IDispatch* external)
{
    m_window = window;
    m_frame = frame;
    m_external = external;
}

HRESULT CBrowserSite::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *object = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IDocHostUIHandler)
        *object = static_cast<IDocHostUIHandler*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

HRESULT CBrowserSite::GetContainer(IOleContainer** container)
{
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT CBrowserSite::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = m_window;
    return m_window ? S_OK : E_FAIL;
}

HRESULT CBrowserSite::GetWindowContext(
    IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    if (!frame || !document || !position || !clip || !info)
        return E_POINTER;
    *frame = m_frame;
    if (m_frame)
        m_frame->AddRef();
    *document = nullptr;
    GetClientRect(m_window, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(m_window, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT CBrowserSite::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (!info)
        return E_POINTER;
    info->dwFlags |= kHostFlags;
    return S_OK;
}

HRESULT CBrowserSite::GetExternal(IDispatch** external)
{
    if (!external)
        return E_POINTER;
    *external = m_external;
    if (!m_external)
        return S_FALSE;
    m_external->AddRef();
    return S_OK;
}
