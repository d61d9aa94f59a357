#pragma once

// Owners of Win32 resources, one per kind: each releases its resource once,
// on every path, in the way the system asks for that kind. Shared by skinkit,
// the Windows side of the service core and faultcatch (which builds without
// exceptions and must not allocate while a crash is handled: nothing here
// throws or allocates).

#include <windows.h>

namespace win32kit {

// A handle released by Traits::Close; Traits::IsValid tells "none" apart.
template <class Traits> class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle)
        : m_handle(handle)
    {
    }
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(other.Release())
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const { return m_handle; }
    bool IsValid() const { return Traits::IsValid(m_handle); }
    explicit operator bool() const { return IsValid(); }
    // Gives the handle up without releasing it.
    Type Release()
    {
        const Type handle = m_handle;
        m_handle = Type{};
        return handle;
    }
    void Reset(Type handle = Type{})
    {
        if (IsValid())
            Traits::Close(m_handle);
        m_handle = handle;
    }
    // For functions that return a handle through a pointer.
    Type* Out()
    {
        Reset();
        return &m_handle;
    }

private:
    Type m_handle{};
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

template <class T> struct GdiObjectTraits {
    using Type = T;
    static bool IsValid(T h) { return h != nullptr; }
    static void Close(T h) { DeleteObject(h); }
};

// A DC from CreateDC or CreateCompatibleDC.
struct CreatedDcTraits {
    using Type = HDC;
    static bool IsValid(HDC h) { return h != nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static bool IsValid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};

struct WindowTraits {
    using Type = HWND;
    static bool IsValid(HWND h) { return h != nullptr; }
    static void Close(HWND h)
    {
        if (IsWindow(h))
            DestroyWindow(h);
    }
};

// Null and INVALID_HANDLE_VALUE both mean "none".
using ScopedHandle = UniqueHandle<KernelHandleTraits>;
template <class T> using ScopedGdiObject = UniqueHandle<GdiObjectTraits<T>>;
using ScopedDC = UniqueHandle<CreatedDcTraits>;
using ScopedRegKey = UniqueHandle<RegKeyTraits>;
using ScopedWindow = UniqueHandle<WindowTraits>;

// A window's DC from GetDC, given back with ReleaseDC.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND hwnd)
        : m_hwnd(hwnd)
        , m_dc(::GetDC(hwnd))
    {
    }
    ~ScopedGetDC()
    {
        if (m_dc)
            ReleaseDC(m_hwnd, m_dc);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC Get() const { return m_dc; }
    operator HDC() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// Selects an object into a DC for the scope and puts the previous one back.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object)
        : m_dc(dc)
        , m_previous(dc && object ? SelectObject(dc, object) : nullptr)
    {
    }
    ~ScopedSelectObject()
    {
        if (m_previous)
            SelectObject(m_dc, m_previous);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// Deletes a memory DC and the bitmap drawn into it (either may be null), in
// the one order Windows accepts: the DC's original bitmap goes back in first.
// A bitmap still selected into a DC cannot be deleted: Windows refuses and it
// leaks, while Wine defers the delete until the DC goes, which hides the leak
// there. Returns DeleteDC's result, TRUE without a DC.
inline BOOL DeleteBitmapDC(HDC dc, HGDIOBJ original, HBITMAP bitmap)
{
    BOOL result = TRUE;
    if (dc) {
        if (original)
            SelectObject(dc, original);
        result = DeleteDC(dc);
    }
    if (bitmap)
        DeleteObject(bitmap);
    return result;
}

// A memory DC that owns the bitmap selected into it.
class ScopedBitmapDC {
public:
    ScopedBitmapDC() = default;
    // Takes both; the bitmap is selected into the DC.
    ScopedBitmapDC(HDC memoryDc, HBITMAP bitmap) { Reset(memoryDc, bitmap); }
    ~ScopedBitmapDC() { Reset(); }
    ScopedBitmapDC(const ScopedBitmapDC&) = delete;
    ScopedBitmapDC& operator=(const ScopedBitmapDC&) = delete;

    void Reset(HDC memoryDc = nullptr, HBITMAP bitmap = nullptr)
    {
        DeleteBitmapDC(m_dc, m_original, m_bitmap);
        m_dc = memoryDc;
        m_bitmap = bitmap;
        m_original = memoryDc && bitmap ? SelectObject(memoryDc, bitmap) : nullptr;
    }
    // Deletes the DC but leaves the bitmap, out of it, to whoever took it.
    HBITMAP ReleaseBitmap()
    {
        const HBITMAP bitmap = m_bitmap;
        DeleteBitmapDC(m_dc, m_original, nullptr);
        m_dc = nullptr;
        m_bitmap = nullptr;
        m_original = nullptr;
        return bitmap;
    }
    HDC Dc() const { return m_dc; }
    HBITMAP Bitmap() const { return m_bitmap; }
    bool IsValid() const { return m_dc && m_bitmap && m_original; }

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_original = nullptr;
};

// One reference to a COM object, released in one place.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other)
        : m_object(other.m_object)
    {
        if (m_object)
            m_object->AddRef();
    }
    ComPtr& operator=(const ComPtr& other)
    {
        if (other.m_object)
            other.m_object->AddRef();
        Reset(other.m_object);
        return *this;
    }
    ComPtr(ComPtr&& other) noexcept
        : m_object(other.m_object)
    {
        other.m_object = nullptr;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset(other.m_object);
            other.m_object = nullptr;
        }
        return *this;
    }

    // Takes over a reference the caller already holds (no AddRef).
    static ComPtr Adopt(T* object)
    {
        ComPtr result;
        result.m_object = object;
        return result;
    }
    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // Releases the held reference; takes over object's without an AddRef.
    void Reset(T* object = nullptr)
    {
        T* old = m_object;
        m_object = object;
        if (old)
            old->Release();
    }
    // For functions that hand out a reference through a pointer.
    T** Out()
    {
        Reset();
        return &m_object;
    }

private:
    T* m_object = nullptr;
};

}  // namespace win32kit
