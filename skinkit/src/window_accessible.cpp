#include "window_accessible.h"

#include <atomic>
#include <vector>

#include "skinkit/window_base.h"

namespace {

class WindowAccessible final : public IAccessible {
public:
    explicit WindowAccessible(HWND hwnd)
        : m_hwnd(hwnd)
    {
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    // IDispatch: readers use the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        if (!Window())
            return RPC_E_DISCONNECTED;
        return AccessibleObjectFromWindow(
            m_hwnd, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch, reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        if (!count)
            return E_POINTER;
        const CWindowBase* window = Window();
        if (!window)
            return RPC_E_DISCONNECTED;
        *count = static_cast<long>(window->Controls().Describe().size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        AccessibleFacts facts;
        // The children are simple elements, answered through this object.
        return Child(child, facts) ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        if (!name)
            return E_POINTER;
        *name = nullptr;
        if (IsSelf(child)) {
            if (!Window())
                return RPC_E_DISCONNECTED;
            wchar_t title[256] = {};
            GetWindowTextW(m_hwnd, title, 256);
            return Text(title, name);
        }
        AccessibleFacts facts;
        if (!Child(child, facts))
            return E_INVALIDARG;
        return Text(facts.name, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        if (!value)
            return E_POINTER;
        *value = nullptr;
        AccessibleFacts facts;
        if (IsSelf(child))
            return S_FALSE;
        if (!Child(child, facts))
            return E_INVALIDARG;
        return Text(facts.value, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!role)
            return E_POINTER;
        VariantInit(role);
        AccessibleFacts facts;
        if (IsSelf(child)) {
            if (!Window())
                return RPC_E_DISCONNECTED;
            facts.role = ROLE_SYSTEM_CLIENT;
        } else if (!Child(child, facts)) {
            return E_INVALIDARG;
        }
        role->vt = VT_I4;
        role->lVal = facts.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        if (!state)
            return E_POINTER;
        VariantInit(state);
        AccessibleFacts facts;
        if (IsSelf(child)) {
            if (!Window())
                return RPC_E_DISCONNECTED;
            facts.state = STATE_SYSTEM_FOCUSABLE | (GetFocus() == m_hwnd ? STATE_SYSTEM_FOCUSED : 0);
        } else if (!Child(child, facts)) {
            return E_INVALIDARG;
        }
        state->vt = VT_I4;
        state->lVal = facts.state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override
    {
        if (file)
            *file = nullptr;
        if (topic)
            *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        if (!focus)
            return E_POINTER;
        VariantInit(focus);
        const CWindowBase* window = Window();
        if (!window)
            return RPC_E_DISCONNECTED;
        const std::vector<AccessibleFacts> all = window->Controls().Describe();
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i].state & STATE_SYSTEM_FOCUSED) {
                focus->vt = VT_I4;
                focus->lVal = static_cast<long>(i + 1);
                return S_OK;
            }
        }
        if (GetFocus() != m_hwnd)
            return S_FALSE;
        focus->vt = VT_I4;
        focus->lVal = CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        if (!selection)
            return E_POINTER;
        VariantInit(selection);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override
    {
        if (!x || !y || !w || !h)
            return E_POINTER;
        RECT rect{};
        if (IsSelf(child)) {
            if (!Window())
                return RPC_E_DISCONNECTED;
            GetClientRect(m_hwnd, &rect);
        } else {
            AccessibleFacts facts;
            if (!Child(child, facts))
                return E_INVALIDARG;
            rect = facts.rect;
        }
        POINT corner{rect.left, rect.top};
        ClientToScreen(m_hwnd, &corner);
        *x = corner.x;
        *y = corner.y;
        *w = rect.right - rect.left;
        *h = rect.bottom - rect.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        if (!end)
            return E_POINTER;
        VariantInit(end);
        long count = 0;
        const HRESULT counted = get_accChildCount(&count);
        if (FAILED(counted))
            return counted;
        long from = IsSelf(start) ? 0 : (start.vt == VT_I4 ? start.lVal : -1);
        if (from < 0 || from > count)
            return E_INVALIDARG;
        long to = 0;
        switch (direction) {
        case NAVDIR_FIRSTCHILD:
            to = from == 0 && count > 0 ? 1 : 0;
            break;
        case NAVDIR_LASTCHILD:
            to = from == 0 ? count : 0;
            break;
        case NAVDIR_NEXT:
            to = from > 0 && from < count ? from + 1 : 0;
            break;
        case NAVDIR_PREVIOUS:
            to = from > 1 ? from - 1 : 0;
            break;
        default:
            return E_NOTIMPL;
        }
        if (to == 0)
            return S_FALSE;
        end->vt = VT_I4;
        end->lVal = to;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override
    {
        if (!hit)
            return E_POINTER;
        VariantInit(hit);
        const CWindowBase* window = Window();
        if (!window)
            return RPC_E_DISCONNECTED;
        POINT point{x, y};
        ScreenToClient(m_hwnd, &point);
        RECT client{};
        GetClientRect(m_hwnd, &client);
        if (!PtInRect(&client, point))
            return S_FALSE;
        // The last described control is drawn last, so it is the one on top.
        const std::vector<AccessibleFacts> all = window->Controls().Describe();
        hit->vt = VT_I4;
        hit->lVal = CHILDID_SELF;
        for (size_t i = all.size(); i-- > 0;) {
            if (!(all[i].state & STATE_SYSTEM_INVISIBLE) && PtInRect(&all[i].rect, point)) {
                hit->lVal = static_cast<long>(i + 1);
                break;
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    const CWindowBase* Window() const { return IsWindow(m_hwnd) ? CWindowBase::FromHandle(m_hwnd) : nullptr; }

    static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

    bool Child(const VARIANT& child, AccessibleFacts& facts) const
    {
        const CWindowBase* window = Window();
        if (!window || child.vt != VT_I4 || child.lVal < 1)
            return false;
        const std::vector<AccessibleFacts> all = window->Controls().Describe();
        if (static_cast<size_t>(child.lVal) > all.size())
            return false;
        facts = all[static_cast<size_t>(child.lVal) - 1];
        return true;
    }

    static HRESULT Text(const std::wstring& text, BSTR* out)
    {
        if (text.empty())
            return S_FALSE;
        *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    static HRESULT Nothing(BSTR* out)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return S_FALSE;
    }

    HWND m_hwnd;
    std::atomic<ULONG> m_references{1};
};

}  // namespace

IAccessible* NewWindowAccessible(HWND hwnd) { return new WindowAccessible(hwnd); }
