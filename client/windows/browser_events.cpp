#include "browser_events.h"

#include "browser_view.h"

#include <exdisp.h>

HRESULT CBrowserEvents::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CBrowserEvents::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return S_OK;
}

// A page's new window keeps the control's own handling.
HRESULT CBrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    if (id == kDocumentComplete)
        m_view.OnDocumentComplete();
    return S_OK;
}
