#pragma once
#include <windows.h>
// The control's interfaces need the Windows types first.
#include <oaidl.h>

class CBrowserView;

// The view's sink for the control's events: a finished document and a page
// asking for a new window.
class CBrowserEvents : public IDispatch {
public:
    static constexpr DISPID kDocumentComplete = 259;
    static constexpr DISPID kNewWindow3 = 273;

    explicit CBrowserEvents(CBrowserView& view)
        : m_view(view)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
        VARIANT* result, EXCEPINFO* error, UINT* argumentError) override;

private:
    CBrowserView& m_view;
};
