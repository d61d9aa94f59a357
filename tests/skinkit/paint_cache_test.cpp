// Controls draw through a cached picture: it must blend like direct drawing
// and never show a stale look after a setter or a state change.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "gdi_objects.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/hyperlink.h"
#include "skinkit/paint_cache.h"
#include "skinkit/picture.h"
#include "skinkit/rich_edit.h"
#include "skinkit/static_text.h"
#include "skinkit/tab.h"
#include "test_window.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kHalfGrey = RGB(127, 127, 127);

std::unique_ptr<Gdiplus::Bitmap> Solid(int width, int height, Gdiplus::Color color)
{
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bitmap->SetPixel(x, y, color);
    }
    return bitmap;
}

// Draws into a new surface cleared to transparent.
std::unique_ptr<Surface> Painted(const std::function<void(HDC)>& paint)
{
    auto surface = std::make_unique<Surface>(300, 200);
    surface->Clear(0);
    paint(surface->Dc());
    return surface;
}

TEST(PaintCacheTest, KeysDecideWhatIsCurrentAndCopiesStartEmpty)
{
    CPaintCache cache;
    CPaintKey key;
    key << 7 << std::wstring(L"按钮");
    CPaintKey other;
    other << 7 << std::wstring(L"按扭");
    EXPECT_FALSE(cache.IsCurrent(key.Bytes()));
    ASSERT_NE(nullptr, cache.Begin(RECT{0, 0, 10, 10}, key.Bytes()));
    EXPECT_TRUE(cache.IsCurrent(key.Bytes()));
    EXPECT_FALSE(cache.IsCurrent(other.Bytes()));

    CPaintCache copy(cache);
    EXPECT_FALSE(copy.IsCurrent(key.Bytes()));
    EXPECT_TRUE(cache.IsCurrent(key.Bytes()));
    cache.Invalidate();
    EXPECT_FALSE(cache.IsCurrent(key.Bytes()));

    // An empty area is remembered as drawing nothing.
    EXPECT_EQ(nullptr, cache.Begin(RECT{}, other.Bytes()));
    EXPECT_TRUE(cache.IsCurrent(other.Bytes()));
    Surface target(20, 20);
    target.Clear(0xFF00FF00);
    cache.Draw(target.Dc(), 5, 5);
    EXPECT_EQ(0xFF00FF00u, target.Pixel(5, 5));
}

// A row of six equal pixels blended onto grey, through the cache (which
// writes straight into the surface, four pixels at a time) and through
// GDI's own blend.
TEST(PaintCacheTest, BlendsStraightIntoASurfaceAsGdiDoes)
{
    struct Row {
        const char* what;
        UINT32 source;
        int red, green, blue;  // -1: as GDI's blend gives
    } rows[] = {
        {"colour above its alpha, capped, no carry", 0x80FF0000u, 255, 64, 64},
        {"transparent", 0x00000000u, -1, -1, -1},
        {"half black", 0x80000000u, -1, -1, -1},
        {"half grey", 0x80404040u, -1, -1, -1},
        {"faint blue", 0x01000001u, -1, -1, -1},
        {"opaque green", 0xFF00FF00u, -1, -1, -1},
    };
    constexpr int kWidth = 6;
    for (const Row& row : rows) {
        CPaintCache cache;
        CPaintKey key;
        key << row.source;
        HDC dc = cache.Begin(RECT{0, 0, kWidth, 1}, key.Bytes());
        ASSERT_NE(nullptr, dc);
        DIBSECTION dib{};
        ASSERT_EQ(int(sizeof(dib)), GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof(dib), &dib));
        GdiFlush();
        std::fill_n(static_cast<UINT32*>(dib.dsBm.bmBits), kWidth, row.source);
        Surface direct(kWidth + 2, 4);
        direct.Clear(0xFF808080u);
        cache.Draw(direct.Dc(), 1, 1);
        Surface gdi(kWidth + 2, 4);
        gdi.Clear(0xFF808080u);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        GdiAlphaBlend(gdi.Dc(), 1, 1, kWidth, 1, dc, 0, 0, kWidth, 1, blend);
        for (int x = 1; x <= kWidth; ++x) {
            const UINT32 got = direct.Pixel(x, 1);
            const UINT32 want = gdi.Pixel(x, 1);
            const int expected[] = {row.red < 0 ? Red(want) : row.red, row.green < 0 ? Green(want) : row.green,
                row.blue < 0 ? Blue(want) : row.blue};
            EXPECT_NEAR(Red(got), expected[0], 1) << row.what << " at " << x;
            EXPECT_NEAR(Green(got), expected[1], 1) << row.what << " at " << x;
            EXPECT_NEAR(Blue(got), expected[2], 1) << row.what << " at " << x;
        }
        EXPECT_EQ(direct.Pixel(0, 1), 0xFF808080u) << row.what << ": outside the picture";
        EXPECT_EQ(direct.Pixel(1, 2), 0xFF808080u) << row.what << ": outside the picture";
    }
}

// A picture whose top row alone is red lands the right way up whichever way
// the target's rows run in memory, clipped or not.
TEST(PaintCacheTest, BlendsTheRightWayUpIntoEitherRowOrder)
{
    struct Row {
        const char* what;
        bool topDown;
        int clipTop;  // -1: no clip
    } rows[] = {
        {"top-down, clipped to the picture's lower rows", true, 5},
        {"top-down", true, -1},
        {"bottom-up, clipped", false, 5},
        {"bottom-up", false, -1},
    };
    for (const Row& row : rows) {
        CPaintCache cache;
        CPaintKey key;
        key << 1;
        HDC dc = cache.Begin(RECT{0, 0, 8, 4}, key.Bytes());
        ASSERT_NE(nullptr, dc);
        {
            Gdiplus::Graphics g(dc);
            Gdiplus::SolidBrush red(Gdiplus::Color(255, 255, 0, 0));
            Gdiplus::SolidBrush shade(Gdiplus::Color(128, 0, 0, 0));
            g.FillRectangle(&red, 0, 0, 8, 1);
            g.FillRectangle(&shade, 0, 1, 8, 3);
        }
        Surface target(12, 10, row.topDown);
        target.Clear(0xFFFFFFFFu);
        if (row.clipTop >= 0)
            IntersectClipRect(target.Dc(), 0, row.clipTop, 12, 10);
        cache.Draw(target.Dc(), 2, 4);
        const bool topShown = row.clipTop < 0 || row.clipTop <= 4;
        EXPECT_EQ(topShown ? 0xFFFF0000u : 0xFFFFFFFFu, target.Pixel(3, 4)) << row.what;
        EXPECT_TRUE(Near(target.Pixel(3, 6), kHalfGrey, 2)) << row.what;
        EXPECT_EQ(0xFFFFFFFFu, target.Pixel(3, 3)) << row.what << ": above the picture";
        EXPECT_EQ(0xFFFFFFFFu, target.Pixel(3, 8)) << row.what << ": below the picture";
        SelectClipRgn(target.Dc(), nullptr);
    }
}

TEST(PaintCacheTest, BlendsTranslucentPixelsAndCopiesOnlyTheOpaqueCore)
{
    // 200 x 200 around the anchor from (-10, -10): a half-transparent black
    // frame, an opaque red square inside, and a half-transparent hole in the
    // square on its middle row.
    CPaintCache cache;
    CPaintKey key;
    key << 1;
    HDC dc = cache.Begin(RECT{-10, -10, 190, 190}, key.Bytes());
    ASSERT_NE(nullptr, dc);
    {
        Gdiplus::Graphics g(dc);
        Gdiplus::SolidBrush shade(Gdiplus::Color(128, 0, 0, 0));
        Gdiplus::SolidBrush red(Gdiplus::Color(255, 255, 0, 0));
        g.FillRectangle(&shade, 0, 0, 200, 200);
        g.FillRectangle(&red, 10, 10, 140, 180);
        g.FillRectangle(&red, 160, 10, 30, 180);
        g.FillRectangle(&red, 150, 10, 10, 85);
        g.FillRectangle(&red, 150, 105, 10, 85);
    }
    Surface target(300, 300);
    target.Clear(0xFFFFFFFF);
    cache.Draw(target.Dc(), 50, 50);  // the picture covers 40..240

    EXPECT_TRUE(Near(target.Pixel(30, 30), kWhite, 0));  // outside
    EXPECT_TRUE(Near(target.Pixel(245, 100), kWhite, 0));  // outside
    for (const POINT p : {POINT{42, 42}, POINT{45, 140}, POINT{140, 235}, POINT{236, 60}}) {
        EXPECT_TRUE(Near(target.Pixel(p.x, p.y), kHalfGrey, 3)) << "frame " << p.x << "," << p.y;
        EXPECT_EQ(255, Alpha(target.Pixel(p.x, p.y)));
    }
    EXPECT_TRUE(Near(target.Pixel(140, 140), kRed, 0));  // core
    EXPECT_TRUE(Near(target.Pixel(195, 90), kRed, 0));  // opaque, above the hole: outside the core
    EXPECT_TRUE(Near(target.Pixel(225, 140), kRed, 0));  // opaque, right of the hole
    EXPECT_TRUE(Near(target.Pixel(195, 140), kHalfGrey, 3));  // the hole blends too
}

class CachedControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Open(300, 200));
        SetCursorPos(1, 1);  // nothing hovered
    }
    HWND Parent() const { return parent.GetHWND(); }

    // The changed control must paint exactly what a fresh one with the final
    // settings paints, and differently from before the change.
    void ExpectRedrawn(const Surface& before, const Surface& after, const Surface& fresh, const char* what)
    {
        EXPECT_GT(CountDifferences(before, after), 0) << what << ": the change does not show";
        EXPECT_EQ(0, CountDifferences(after, fresh)) << what << ": stale picture";
    }

    TestParent parent;
};

TEST_F(CachedControlTest, ButtonFollowsCaptionColourStateImageAndPosition)
{
    auto blue = Solid(80, 30, Gdiplus::Color(255, 0, 0, 255));
    CButtonUI button;
    ASSERT_TRUE(button.Create(Parent(), 1));
    button.SetWindowRect(20, 20, 100, 50);
    button.SetAttribute(blue.get());
    button.SetWindowTextW(L"确定");
    auto before = Painted([&](HDC dc) { button.OnPaint(dc); });

    button.SetWindowTextW(L"取消");
    button.SetTextColor(RGB(255, 255, 0));
    auto after = Painted([&](HDC dc) { button.OnPaint(dc); });
    CButtonUI fresh;
    ASSERT_TRUE(fresh.Create(Parent(), 2));
    fresh.SetWindowRect(20, 20, 100, 50);
    fresh.SetAttribute(blue.get());
    fresh.SetWindowTextW(L"取消");
    fresh.SetTextColor(RGB(255, 255, 0));
    ExpectRedrawn(*before, *after, *Painted([&](HDC dc) { fresh.OnPaint(dc); }), "caption and colour");

    // The same bitmap with new pixels, handed over again.
    before = Painted([&](HDC dc) { button.OnPaint(dc); });
    for (int x = 0; x < 80; ++x)
        blue->SetPixel(x, 2, Gdiplus::Color(255, 0, 255, 0));
    button.SetAttribute(blue.get());
    after = Painted([&](HDC dc) { button.OnPaint(dc); });
    fresh.SetAttribute(blue.get());
    ExpectRedrawn(*before, *after, *Painted([&](HDC dc) { fresh.OnPaint(dc); }), "image");

    // Pressed: the caption moves one pixel.
    before = std::move(after);
    parent.router = [&](UINT msg, WPARAM wParam, LPARAM lParam) { button.WindowProc(Parent(), msg, wParam, lParam); };
    parent.MouseAt(60, 35);
    parent.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 35));
    ASSERT_EQ(kButtonPressed, button.GetState());
    after = Painted([&](HDC dc) { button.OnPaint(dc); });
    EXPECT_GT(CountDifferences(*before, *after), 0);
    parent.Send(WM_LBUTTONUP, 0, MAKELPARAM(60, 35));
    SetCursorPos(1, 1);
    parent.Send(WM_MOUSELEAVE);
    parent.router = nullptr;
    ASSERT_EQ(kButtonNormal, button.GetState());

    // Moving needs no redraw: the same picture at the new place.
    button.MoveWindow(120, 100, false);
    fresh.MoveWindow(120, 100, false);
    EXPECT_EQ(0,
        CountDifferences(*Painted([&](HDC dc) { button.OnPaint(dc); }), *Painted([&](HDC dc) { fresh.OnPaint(dc); })));
    auto moved = Painted([&](HDC dc) { button.OnPaint(dc); });
    EXPECT_EQ(0, Alpha(moved->Pixel(30, 30)));
    EXPECT_GT(Alpha(moved->Pixel(130, 110)), 200);
}

TEST_F(CachedControlTest, CheckBoxStaticAndLinkFollowTheirSetters)
{
    auto boxes = Solid(84, 14, Gdiplus::Color(255, 200, 200, 200));
    for (int y = 0; y < 14; ++y) {
        for (int x = 42; x < 84; ++x)
            boxes->SetPixel(x, y, Gdiplus::Color(255, 0, 163, 223));
    }
    CCheckBoxUI box;
    CCheckBoxUI freshBox;
    for (CCheckBoxUI* b : {&box, &freshBox}) {
        ASSERT_TRUE(b->Create(Parent(), RECT{10, 10, 120, 26}, L"记住密码", 3, 0));
        b->SetBitmap(boxes.get());
    }
    auto before = Painted([&](HDC dc) { box.OnPaint(dc); });
    box.SetCheck(true);
    box.SetWindowTextW(L"自动登录");
    freshBox.SetCheck(true);
    freshBox.SetWindowTextW(L"自动登录");
    ExpectRedrawn(*before, *Painted([&](HDC dc) { box.OnPaint(dc); }), *Painted([&](HDC dc) { freshBox.OnPaint(dc); }),
        "check box");

    CStaticUI label;
    CStaticUI freshLabel;
    for (CStaticUI* l : {&label, &freshLabel}) {
        ASSERT_TRUE(l->Create(Parent(), 4, true));
        l->SetWindowRect(10, 60, 0, 0);
    }
    label.SetWindowTextW(L"静态文本");
    before = Painted([&](HDC dc) { label.OnPaint(dc); });
    label.SetWindowTextW(L"另一段文字");
    label.SetTextColor(RGB(200, 0, 0));
    freshLabel.SetWindowTextW(L"另一段文字");
    freshLabel.SetTextColor(RGB(200, 0, 0));
    ExpectRedrawn(*before, *Painted([&](HDC dc) { label.OnPaint(dc); }),
        *Painted([&](HDC dc) { freshLabel.OnPaint(dc); }), "static text");
    label.SetWindowTextW(L"");
    label.SetWindowRect(10, 60, 100, 80);
    EXPECT_EQ(0, CountDifferences(*Painted([&](HDC dc) { label.OnPaint(dc); }), *Painted([](HDC) {})));

    CHyperLinkUI link;
    CHyperLinkUI freshLink;
    for (CHyperLinkUI* l : {&link, &freshLink})
        ASSERT_TRUE(l->Create(Parent(), 5));
    link.SetURL(L"http://127.0.0.1/", L"访问主页");
    before = Painted([&](HDC dc) { link.OnPaint(dc); });
    link.SetURL(L"http://127.0.0.1/help", L"帮助");
    link.ModifyStyle(0, CHyperLinkUI::kStyleUnderline, false);
    freshLink.SetURL(L"http://127.0.0.1/help", L"帮助");
    freshLink.ModifyStyle(0, CHyperLinkUI::kStyleUnderline, false);
    ExpectRedrawn(
        *before, *Painted([&](HDC dc) { link.OnPaint(dc); }), *Painted([&](HDC dc) { freshLink.OnPaint(dc); }), "link");
}

TEST_F(CachedControlTest, TabPictureAndFieldFollowTheirState)
{
    auto items = Solid(90, 20, Gdiplus::Color(255, 220, 220, 220));
    for (int y = 0; y < 20; ++y) {
        for (int x = 60; x < 90; ++x)
            items->SetPixel(x, y, Gdiplus::Color(255, 0, 163, 223));
    }
    CTabUI tab;
    ASSERT_TRUE(tab.Create(Parent(), 10, 10, 200, 20, 6, 0));
    tab.SetItemSize(SIZE{30, 20});
    tab.SetItemDistance(4);
    tab.AddItem(items.get());
    tab.AddItem(items.get());
    auto before = Painted([&](HDC dc) { tab.OnPaint(dc); });
    tab.SetCurSel(1);
    auto after = Painted([&](HDC dc) { tab.OnPaint(dc); });
    EXPECT_TRUE(Near(before->Pixel(50, 20), RGB(220, 220, 220), 0));
    EXPECT_TRUE(Near(after->Pixel(50, 20), RGB(0, 163, 223), 0));
    tab.DeleteItem(1);
    EXPECT_EQ(0, Alpha(Painted([&](HDC dc) { tab.OnPaint(dc); })->Pixel(50, 20)));

    auto photo = Solid(20, 20, Gdiplus::Color(255, 255, 0, 0));
    CPictureUI picture;
    ASSERT_TRUE(picture.Create(Parent(), true));
    picture.set_picture_ptr(photo.get());
    picture.set_window_rect(10, 60, 50, 100);
    before = Painted([&](HDC dc) { picture.OnPaint(dc); });
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x)
            photo->SetPixel(x, y, Gdiplus::Color(255, 0, 0, 255));
    }
    picture.set_picture_ptr(photo.get());
    after = Painted([&](HDC dc) { picture.OnPaint(dc); });
    EXPECT_TRUE(Near(before->Pixel(15, 65), kRed, 0));
    EXPECT_TRUE(Near(after->Pixel(15, 65), RGB(0, 0, 255), 0));
    picture.SetStyle(1);
    EXPECT_TRUE(Near(Painted([&](HDC dc) { picture.OnPaint(dc); })->Pixel(45, 95), RGB(0, 0, 255), 0));
    picture.set_window_rect(10, 60, 80, 100);
    EXPECT_TRUE(Near(Painted([&](HDC dc) { picture.OnPaint(dc); })->Pixel(75, 95), RGB(0, 0, 255), 0));

    CRichEditUI field;
    ASSERT_TRUE(field.Create(Parent(), 7, ES_AUTOHSCROLL));
    field.SetBkRect(10, 120, 210, 150);
    field.SetEidtRect(20, 126, 200, 144);
    field.SetWindowTextW(L"quarn");
    before = Painted([&](HDC dc) { field.OnPaint2(dc, nullptr); });
    field.SetSel(0, 3);
    after = Painted([&](HDC dc) { field.OnPaint2(dc, nullptr); });
    EXPECT_EQ(0, Alpha(before->Pixel(23, 127)));
    EXPECT_TRUE(Near(after->Pixel(23, 127), RGB(0, 163, 223), 2));  // selection fill
    field.SetWindowTextW(L"");
    EXPECT_EQ(0, CountDifferences(*Painted([&](HDC dc) { field.OnPaint2(dc, nullptr); }), *Painted([](HDC) {})));
    KillTimer(Parent(), kEditCaretTimer);
}

TEST(GdiObjectCount, SeesObjectsMadeAndDeleted)
{
    const long before = LiveGdiObjects();
    if (before < 0)
        GTEST_SKIP() << "this Wine keeps no GDI handle table to count (32-bit)";
    HBRUSH brushes[3] = {CreateSolidBrush(kRed), CreateSolidBrush(kWhite), CreateSolidBrush(kHalfGrey)};
    EXPECT_EQ(LiveGdiObjects(), before + 3);
    for (HBRUSH brush : brushes)
        DeleteObject(brush);
    EXPECT_EQ(LiveGdiObjects(), before);
}

// A control shown, painted and hidden again gives its cached picture back,
// so panels shown once hold nothing for the rest of the run; shown again it
// paints the very same pixels.
TEST_F(CachedControlTest, AHiddenControlHoldsNoSurfaceAndPaintsTheSameWhenShownAgain)
{
    auto strip = Solid(120, 30, Gdiplus::Color(255, 40, 90, 200));
    // One control of a kind, set up; its painting and its showing.
    struct Control {
        std::shared_ptr<void> keep;
        std::function<void(HDC)> paint;
        std::function<void(bool)> show;
    };
    struct Row {
        const char* what;
        std::function<Control(HWND)> make;
    } rows[] = {
        {"button",
            [&](HWND parent) {
                auto b = std::make_shared<CButtonUI>();
                b->Create(parent, 1);
                b->SetWindowRect(20, 20, 100, 50);
                b->SetAttribute(strip.get());
                b->SetWindowTextW(L"确定");
                return Control{b, [b](HDC dc) { b->OnPaint(dc); }, [b](bool v) { b->ShowWindow(v); }};
            }},
        {"stretched button",
            [&](HWND parent) {
                auto b = std::make_shared<Gosick_button>();
                b->Create(parent, 20, 20, 90, 30, 2, L"分类");
                b->SetAttribute(strip.get());
                b->SetAlpha(1.0f);
                return Control{b, [b](HDC dc) { b->OnPaint(dc); }, [b](bool v) { b->ShowWindow(v); }};
            }},
        {"check box",
            [&](HWND parent) {
                auto c = std::make_shared<CCheckBoxUI>();
                c->Create(parent, RECT{10, 10, 120, 26}, L"记住密码", 3, 0);
                c->SetBitmap(strip.get());
                return Control{c, [c](HDC dc) { c->OnPaint(dc); }, [c](bool v) { c->ShowWindow(v); }};
            }},
        {"static text",
            [&](HWND parent) {
                auto l = std::make_shared<CStaticUI>();
                l->Create(parent, 4, true);
                l->SetWindowRect(10, 60, 0, 0);
                l->SetWindowTextW(L"静态文本");
                return Control{l, [l](HDC dc) { l->OnPaint(dc); }, [l](bool v) { l->ShowWindow(v); }};
            }},
        {"link",
            [&](HWND parent) {
                auto l = std::make_shared<CHyperLinkUI>();
                l->Create(parent, 5);
                l->SetURL(L"http://127.0.0.1/", L"访问主页");
                return Control{l, [l](HDC dc) { l->OnPaint(dc); }, [l](bool v) { l->ShowWindow(v); }};
            }},
        {"tab",
            [&](HWND parent) {
                auto t = std::make_shared<CTabUI>();
                t->Create(parent, 10, 10, 200, 30, 6, 0);
                t->SetItemSize(SIZE{40, 30});
                t->AddItem(strip.get());
                return Control{t, [t](HDC dc) { t->OnPaint(dc); }, [t](bool v) { t->ShowWindow(v); }};
            }},
        {"picture",
            [&](HWND parent) {
                auto p = std::make_shared<CPictureUI>();
                p->Create(parent, true);
                p->set_picture_ptr(strip.get());
                p->set_window_rect(10, 60, 130, 90);
                return Control{p, [p](HDC dc) { p->OnPaint(dc); }, [p](bool v) { p->ShowWindow(v); }};
            }},
        {"field",
            [&](HWND parent) {
                auto f = std::make_shared<CRichEditUI>();
                f->Create(parent, 7, ES_AUTOHSCROLL);
                f->SetBkRect(10, 120, 210, 150);
                f->SetEidtRect(20, 126, 200, 144);
                f->SetWindowTextW(L"quarn");
                return Control{f, [f](HDC dc) { f->OnPaint2(dc, nullptr); }, [f](bool v) { f->ShowWindow(v); }};
            }},
    };
    if (LiveGdiObjects() < 0)
        GTEST_SKIP() << "this Wine keeps no GDI handle table to count (32-bit)";
    for (const Row& row : rows) {
        // One of the kind painted and gone first: what the first paint of a
        // kind makes for good (fonts, brushes) is not counted against it.
        {
            Control warm = row.make(Parent());
            Painted(warm.paint);
        }
        Control control = row.make(Parent());
        const auto first = Painted([](HDC) {});  // its own objects come before the count
        const long before = LiveGdiObjects();
        control.paint(first->Dc());
        ASSERT_GT(LiveGdiObjects(), before) << row.what << ": no picture cached";
        control.show(false);
        EXPECT_EQ(LiveGdiObjects(), before) << row.what << ": hidden, it still holds GDI objects";
        EXPECT_EQ(0, CountDifferences(*Painted(control.paint), *Painted([](HDC) {}))) << row.what << ": paints hidden";
        control.show(true);
        EXPECT_EQ(0, CountDifferences(*first, *Painted(control.paint)))
            << row.what << ": shown again, it looks different";
        EXPECT_GT(CountDifferences(*first, *Painted([](HDC) {})), 0) << row.what << ": painted nothing";
    }
    KillTimer(Parent(), kEditCaretTimer);
}

}  // namespace
