// window.external: the few names the service's pages call.
#include "browser_view.h"

#include "win32/window_message_sink.h"
#include "window_messages.h"

#include <cwchar>

namespace {

using Handler = void (*)(HWND owner, const wchar_t* name, const std::vector<std::wstring>& arguments);

struct ExternalMethod {
    const wchar_t* name;
    DISPID id;
    Handler handler;
};

// "img" hands over the user's new avatar; "comm" and "reply" a picture to
// comment on, with the page's second argument.
void OnPageCall(HWND owner, const wchar_t* name, const std::vector<std::wstring>& arguments)
{
    if (arguments.empty() || arguments[0].empty() || !owner)
        return;
    if (wcscmp(name, L"img") == 0) {
        SendWithText(owner, UM_AVATAR_CHANGED, WPARAM(arguments[0].c_str()), 0);
        return;
    }
    const std::wstring second = arguments.size() > 1 ? arguments[1] : std::wstring();
    SendWithText(owner, UM_OPEN_PICTURE_COMMENTS, WPARAM(arguments[0].c_str()), LPARAM(second.c_str()));
}

const ExternalMethod kMethods[] = {
    {L"img", 1, &OnPageCall},
    {L"comm", 2, &OnPageCall},
    {L"reply", 3, &OnPageCall},
};

// Script passes its arguments last first; numbers and the like come as text.
std::vector<std::wstring> TextArguments(const DISPPARAMS* params)
{
    std::vector<std::wstring> texts;
    if (!params)
        return texts;
    for (UINT i = params->cArgs; i-- > 0;) {
        VARIANT text;
        VariantInit(&text);
        if (SUCCEEDED(VariantChangeType(&text, &params->rgvarg[i], 0, VT_BSTR)) && text.bstrVal)
            texts.emplace_back(text.bstrVal, SysStringLen(text.bstrVal));
        else
            texts.emplace_back();
        VariantClear(&text);
    }
    return texts;
}

}  // namespace

HRESULT CBrowserView::CBrowserExternal::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CBrowserView::CBrowserExternal::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

HRESULT CBrowserView::CBrowserExternal::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT CBrowserView::CBrowserExternal::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (const ExternalMethod& method : kMethods) {
        if (names[0] && wcscmp(names[0], method.name) == 0) {
            ids[0] = method.id;
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT CBrowserView::CBrowserExternal::Invoke(
    DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    for (const ExternalMethod& method : kMethods) {
        if (method.id != id)
            continue;
        // A page reached by a link elsewhere must not act for the user.
        if (m_view && m_view->PageIsTrusted())
            method.handler(m_owner, method.name, TextArguments(params));
        return S_OK;
    }
    return E_NOTIMPL;
}
