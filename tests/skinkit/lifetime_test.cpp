// Who releases what: bitmaps leave their DC before they are deleted, a
// tooltip takes its window with it, a field's second Create lets its first
// engine go, and reloading a window's pictures keeps its controls on live ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include <windows.h>
#include <richole.h>

#include "skinkit/memory_dc.h"
#include "skinkit/ostrel_window.h"
#include "skinkit/paint_cache.h"
#include "skinkit/rich_edit.h"
#include "skinkit/tooltip.h"
#include "test_window.h"

namespace {

// Counts skinkit's deletes of a bitmap that is still selected into a DC, by
// taking over skinkit.dll's import of DeleteObject while it lives. Windows
// refuses such a delete and the bitmap leaks; Wine defers it until the DC
// goes, so only a look at the moment of the delete sees the fault there.
class SelectedBitmapDeletes {
public:
    SelectedBitmapDeletes()
        : m_slot(ImportSlot(GetModuleHandleW(L"skinkit.dll"), "gdi32.dll", "DeleteObject"))
    {
        if (!m_slot)
            return;
        s_real = reinterpret_cast<Real>(*m_slot);
        s_count = 0;
        Write(reinterpret_cast<void*>(&Hook));
    }
    ~SelectedBitmapDeletes()
    {
        if (m_slot)
            Write(reinterpret_cast<void*>(s_real));
    }
    bool Installed() const { return m_slot != nullptr; }
    int Count() const { return s_count; }

private:
    using Real = BOOL(WINAPI*)(HGDIOBJ);

    static BOOL WINAPI Hook(HGDIOBJ object)
    {
        if (GetObjectType(object) == OBJ_BITMAP && SelectedElsewhere(static_cast<HBITMAP>(object)))
            ++s_count;
        return s_real(object);
    }
    // A bitmap can be selected into one DC at a time: a second DC refuses it.
    static bool SelectedElsewhere(HBITMAP bitmap)
    {
        HDC probe = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(probe, bitmap);
        if (previous)
            SelectObject(probe, previous);
        DeleteDC(probe);
        return previous == nullptr;
    }
    static void** ImportSlot(HMODULE module, const char* dll, const char* function)
    {
        if (!module)
            return nullptr;
        auto* base = reinterpret_cast<BYTE*>(module);
        const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); d->Name; ++d) {
            if (_stricmp(reinterpret_cast<char*>(base + d->Name), dll) != 0)
                continue;
            auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
            auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
            for (; name->u1.AddressOfData; ++name, ++slot) {
                if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                    continue;
                const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                    return reinterpret_cast<void**>(&slot->u1.Function);
                }
            }
        }
        return nullptr;
    }
    void Write(void* value)
    {
        DWORD protection = 0;
        VirtualProtect(m_slot, sizeof(*m_slot), PAGE_READWRITE, &protection);
        *m_slot = value;
        VirtualProtect(m_slot, sizeof(*m_slot), protection, &protection);
    }

    void** m_slot;
    static Real s_real;
    static int s_count;
};

SelectedBitmapDeletes::Real SelectedBitmapDeletes::s_real = nullptr;
int SelectedBitmapDeletes::s_count = 0;

// Paints the library's layered window through a window DC, as WM_PAINT does.
void PaintLayered(__ostrel_window& window)
{
    HDC dc = GetDC(window.GetHWND());
    window.Draw_window(dc);
    ReleaseDC(window.GetHWND(), dc);
}

void DestroyOstrelWindow(__ostrel_window& window)
{
    DestroyWindow(window.GetHWND());
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // its WM_DESTROY posts one
}

TEST(GdiOwnershipTest, BitmapsLeaveTheirDcBeforeTheyAreDeleted)
{
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const Case kCases[] = {
        {"surface released",
            [] {
                __ostrel_memory_dc surface;
                ASSERT_EQ(1, surface.Create_compatible_dc(nullptr, 40, 30, 1));
                const HBITMAP dib = surface.GetBitmap();
                surface.DeleteDC();
                EXPECT_EQ(0u, GetObjectType(dib)) << "the DIB outlived its surface";
            }},
        {"a copy goes first: the original still draws",
            [] {
                __ostrel_memory_dc surface;
                ASSERT_EQ(1, surface.Create_compatible_dc(nullptr, 40, 30, 1));
                {
                    __ostrel_memory_dc copy(surface);
                }
                EXPECT_EQ(DWORD(OBJ_BITMAP), GetObjectType(surface.GetBitmap())) << "the copy released the DIB";
                EXPECT_EQ(DWORD(OBJ_MEMDC), GetObjectType(surface.get_ghost()));
            }},
        {"surface replaced, then destroyed",
            [] {
                __ostrel_memory_dc surface;
                ASSERT_EQ(1, surface.Create_compatible_dc(nullptr, 40, 30, 1));
                ASSERT_EQ(1, surface.Create_compatible_dc(nullptr, 20, 10, 1));
            }},
        {"layered window paints",
            [] {
                __ostrel_window window;
                ASSERT_TRUE(window.Create(nullptr, nullptr));
                for (int i = 0; i < 3; ++i)
                    PaintLayered(window);
                DestroyOstrelWindow(window);
            }},
        {"tooltip paints",
            [] {
                CToolTipUI tip;
                ASSERT_TRUE(tip.Create(nullptr));
                tip.ShowToolTip(L"提示");
                UpdateWindow(tip.GetHWND());
            }},
        {"paint cache resized and released",
            [] {
                CPaintCache cache;
                ASSERT_NE(nullptr, cache.Begin(RECT{0, 0, 30, 20}, "a"));
                ASSERT_NE(nullptr, cache.Begin(RECT{0, 0, 60, 20}, "b"));
                cache.Release();
            }},
    };
    SelectedBitmapDeletes deletes;
    ASSERT_TRUE(deletes.Installed());
    for (const Case& c : kCases) {
        const int before = deletes.Count();
        c.run();
        EXPECT_EQ(before, deletes.Count()) << c.name << ": a bitmap was deleted while still selected";
    }
}

TEST(GdiOwnershipTest, RepeatedLayeredPaintsKeepTheGdiObjectCount)
{
    const auto objects = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
    if (objects() == 0)
        GTEST_SKIP() << "GetGuiResources reports no GDI objects on this platform (Wine)";
    __ostrel_window window;
    ASSERT_TRUE(window.Create(nullptr, nullptr));
    PaintLayered(window);
    const DWORD before = objects();
    constexpr DWORD kPaints = 20;
    for (DWORD i = 0; i < kPaints; ++i)
        PaintLayered(window);
    EXPECT_LT(objects() - before, kPaints / 2);
    DestroyOstrelWindow(window);
}

TEST(ToolTipLifetimeTest, DestroyingTheTipTakesItsWindowAlong)
{
    struct Case {
        const char* name;
        int creates;
        bool shown;
    };
    const Case kCases[] = {
        {"created twice", 2, false},
        {"shown with its hide timer running", 1, true},
        {"created once", 1, false},
    };
    for (const Case& c : kCases) {
        std::vector<HWND> windows;
        {
            CToolTipUI tip;
            for (int i = 0; i < c.creates; ++i) {
                ASSERT_TRUE(tip.Create(nullptr)) << c.name;
                windows.push_back(tip.GetHWND());
            }
            if (c.shown)
                tip.ShowToolTip(L"提示");
        }
        for (HWND hwnd : windows) {
            EXPECT_FALSE(IsWindow(hwnd)) << c.name << ": the window outlived its tip";
            if (IsWindow(hwnd))
                DestroyWindow(hwnd);
        }
    }
}

TEST(RichEditLifetimeTest, ASecondCreateLetsTheFirstEngineGo)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(300, 120));
    struct Case {
        const char* name;
        std::function<bool(CRichEditUI&, HWND)> createAgain;
    };
    const Case kCases[] = {
        {"by id again", [](CRichEditUI& edit, HWND p) { return edit.Create(p, 7, ES_AUTOHSCROLL); }},
        {"by rectangle",
            [](CRichEditUI& edit, HWND p) {
                RECT r{10, 10, 200, 30};
                return edit.Create(p, &r, 0);
            }},
    };
    for (const Case& c : kCases) {
        CRichEditUI edit;
        ASSERT_TRUE(edit.Create(parent.GetHWND(), 7, ES_AUTOHSCROLL)) << c.name;
        IRichEditOle* firstEngine = nullptr;
        edit.TxSendMessage(EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&firstEngine), nullptr);
        ASSERT_NE(nullptr, firstEngine) << c.name;
        ASSERT_TRUE(c.createAgain(edit, parent.GetHWND())) << c.name;
        EXPECT_TRUE(edit.HasTextHost()) << c.name;
        // Once the field has let its first engine go, ours is the last reference.
        EXPECT_EQ(0u, firstEngine->Release()) << c.name << ": the first text host and engine leaked";
    }
}

TEST(OstrelWindowTest, ReloadingItsPicturesKeepsTheBackgroundOnALivePicture)
{
    __ostrel_window window;
    ASSERT_TRUE(window.Create(nullptr, nullptr));
    for (int i = 0; i < 3; ++i) {
        const Gdiplus::Bitmap* shown = window.Background().GetPicture();
        window.LoadImageRes();
        const auto& images = window.Images().Images();
        ASSERT_EQ(1u, images.size());
        EXPECT_NE(nullptr, images[0]);
        EXPECT_EQ(images[0], window.Background().GetPicture()) << "the background still draws a freed picture";
        EXPECT_NE(shown, window.Background().GetPicture());
        PaintLayered(window);
    }
    DestroyOstrelWindow(window);
}

}  // namespace
