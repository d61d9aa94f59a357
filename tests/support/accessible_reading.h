#pragma once
// Reading an IAccessible as a screen reader does, for tests and benchmarks.
#include <windows.h>
#include <oleacc.h>

#include <string>

inline VARIANT AccessibleChild(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

// A text property of a child (name, description, value...); empty when absent.
inline std::wstring AccessibleText(
    HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, BSTR*), IAccessible* object, long id)
{
    BSTR text = nullptr;
    if ((object->*getter)(AccessibleChild(id), &text) != S_OK || !text)
        return L"";
    std::wstring out(text, SysStringLen(text));
    SysFreeString(text);
    return out;
}

// A numeric property of a child (role, state); -1 when absent.
inline long AccessibleNumber(
    HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, VARIANT*), IAccessible* object, long id)
{
    VARIANT value;
    VariantInit(&value);
    if ((object->*getter)(AccessibleChild(id), &value) != S_OK || value.vt != VT_I4)
        return -1;
    return value.lVal;
}
