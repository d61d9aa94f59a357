#include "window_accessible.h"

#include <atomic>
#include <utility>
#include <vector>

#include "skinkit/window_base.h"

namespace {

class WindowAccessible final : public IAccessible {
public:
    // path: 1-based child ids from the client area down; empty for the
    // client area itself.
    WindowAccessible(HWND hwnd, std::vector<long> path)
        : m_hwnd(hwnd)
        , m_path(std::move(path))
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
        AccessibleFacts self;
        if (!Self(self))
            return RPC_E_DISCONNECTED;
        if (m_path.empty())
            return AccessibleObjectFromWindow(
                m_hwnd, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch, reinterpret_cast<void**>(parent));
        *parent = new WindowAccessible(m_hwnd, std::vector<long>(m_path.begin(), m_path.end() - 1));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        if (!count)
            return E_POINTER;
        AccessibleFacts self;
        if (!Self(self))
            return RPC_E_DISCONNECTED;
        *count = static_cast<long>(self.ChildCount());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        AccessibleFacts facts;
        if (!Child(child, facts))
            return E_INVALIDARG;
        // Rows of their own make an object; anything else is a simple
        // element, answered through this object.
        if (facts.ChildCount() == 0)
            return S_FALSE;
        *out = ChildObject(child.lVal);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return TextOf(child, name, &AccessibleFacts::name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return TextOf(child, value, &AccessibleFacts::value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return TextOf(child, text, &AccessibleFacts::description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!role)
            return E_POINTER;
        VariantInit(role);
        AccessibleFacts facts;
        const HRESULT found = Facts(child, facts);
        if (found != S_OK)
            return found;
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
        const HRESULT found = Facts(child, facts);
        if (found != S_OK)
            return found;
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
        AccessibleFacts self;
        if (!Self(self))
            return RPC_E_DISCONNECTED;
        const long focused = FirstWith(self, STATE_SYSTEM_FOCUSED);
        if (focused > 0) {
            focus->vt = VT_I4;
            focus->lVal = focused;
            return S_OK;
        }
        if (!(self.state & STATE_SYSTEM_FOCUSED))
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
        AccessibleFacts self;
        if (!Self(self))
            return RPC_E_DISCONNECTED;
        const long selected = FirstWith(self, STATE_SYSTEM_SELECTED);
        if (selected == 0)
            return S_FALSE;
        selection->vt = VT_I4;
        selection->lVal = selected;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override { return Nothing(text); }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override
    {
        if (!x || !y || !w || !h)
            return E_POINTER;
        AccessibleFacts facts;
        const HRESULT found = Facts(child, facts);
        if (found != S_OK)
            return found;
        const RECT rect = facts.rect;
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
        AccessibleFacts self;
        if (!Self(self))
            return RPC_E_DISCONNECTED;
        POINT point{x, y};
        ScreenToClient(m_hwnd, &point);
        RECT area = self.rect;
        if (m_path.empty())
            GetClientRect(m_hwnd, &area);
        if (!PtInRect(&area, point))
            return S_FALSE;
        // The last described control is drawn last, so it is the one on top.
        hit->vt = VT_I4;
        hit->lVal = CHILDID_SELF;
        AccessibleFacts child;
        for (size_t i = self.ChildCount(); i-- > 0;) {
            if (!self.ChildAt(i, child) || child.state & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)
                || !PtInRect(&child.rect, point))
                continue;
            if (child.ChildCount() == 0) {
                hit->lVal = static_cast<long>(i + 1);
            } else {
                hit->vt = VT_DISPATCH;
                hit->pdispVal = ChildObject(static_cast<long>(i + 1));
            }
            break;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    const CWindowBase* Window() const { return IsWindow(m_hwnd) ? CWindowBase::FromHandle(m_hwnd) : nullptr; }

    static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

    // What this object stands for, asked afresh: false once the window is
    // gone or the list no longer has the row.
    bool Self(AccessibleFacts& self) const
    {
        const CWindowBase* window = Window();
        if (!window)
            return false;
        AccessibleFacts node;
        node.role = ROLE_SYSTEM_CLIENT;
        node.state = STATE_SYSTEM_FOCUSABLE | (GetFocus() == m_hwnd ? STATE_SYSTEM_FOCUSED : 0);
        GetClientRect(m_hwnd, &node.rect);
        wchar_t title[256] = {};
        GetWindowTextW(m_hwnd, title, 256);
        node.name = title;
        node.children = window->Controls().Describe();
        for (const long id : m_path) {
            AccessibleFacts next;
            if (id < 1 || !node.ChildAt(static_cast<size_t>(id) - 1, next))
                return false;
            node = std::move(next);
        }
        self = std::move(node);
        return true;
    }

    bool Child(const VARIANT& child, AccessibleFacts& facts) const
    {
        AccessibleFacts self;
        if (child.vt != VT_I4 || child.lVal < 1 || !Self(self))
            return false;
        return self.ChildAt(static_cast<size_t>(child.lVal) - 1, facts);
    }

    // This object's facts for CHILDID_SELF, else the child's.
    HRESULT Facts(const VARIANT& child, AccessibleFacts& facts) const
    {
        if (IsSelf(child))
            return Self(facts) ? S_OK : RPC_E_DISCONNECTED;
        return Child(child, facts) ? S_OK : E_INVALIDARG;
    }

    IDispatch* ChildObject(long id) const
    {
        std::vector<long> path = m_path;
        path.push_back(id);
        return new WindowAccessible(m_hwnd, std::move(path));
    }

    // 1-based id of the first child with all of `flags`, 0 for none.
    static long FirstWith(const AccessibleFacts& self, long flags)
    {
        AccessibleFacts child;
        for (size_t i = 0; i < self.ChildCount(); ++i)
            if (self.ChildAt(i, child) && (child.state & flags) == flags)
                return static_cast<long>(i + 1);
        return 0;
    }

    HRESULT TextOf(const VARIANT& child, BSTR* out, std::wstring AccessibleFacts::*field) const
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        AccessibleFacts facts;
        const HRESULT found = Facts(child, facts);
        if (found != S_OK)
            return found;
        // The client area's value is its window's, not a control's.
        if (IsSelf(child) && m_path.empty() && field != &AccessibleFacts::name)
            return S_FALSE;
        return Text(facts.*field, out);
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
    std::vector<long> m_path;
    std::atomic<ULONG> m_references{1};
};

}  // namespace

IAccessible* NewWindowAccessible(HWND hwnd) { return new WindowAccessible(hwnd, {}); }
