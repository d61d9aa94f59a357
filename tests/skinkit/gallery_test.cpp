// The gallery as drawn from the committed skin: a few chosen pixels per
// control, and its controls answering real window messages.
#include <gtest/gtest.h>

#include "gallery_window.h"
#include "login_preview.h"
#include "test_window.h"

namespace {

constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr COLORREF kCloud = RGB(243, 245, 247);
constexpr COLORREF kLine = RGB(220, 225, 229);
constexpr COLORREF kLagoon = RGB(0, 163, 223);
constexpr COLORREF kLagoonLift = RGB(47, 182, 232);
constexpr COLORREF kInk = RGB(58, 67, 74);
constexpr COLORREF kSlate = RGB(132, 132, 132);

int CountNear(const Surface& s, RECT r, COLORREF color, int tolerance)
{
    return CountIf(s, r, [&](UINT32 p) { return static_cast<bool>(Near(p, color, tolerance)); });
}

// Pixels whose colour exceeds their alpha: not premultiplied, which
// UpdateLayeredWindow needs.
int CountNotPremultiplied(const Surface& s)
{
    int count = 0;
    for (int y = 0; y < s.Height(); ++y) {
        for (int x = 0; x < s.Width(); ++x) {
            const UINT32 p = s.Pixel(x, y);
            const int a = Alpha(p);
            count += Red(p) > a || Green(p) > a || Blue(p) > a ? 1 : 0;
        }
    }
    return count;
}

// Pixels clearly unlike color (some channel off by more than distance): ink
// of anti-aliased text on a known fill.
int CountAway(const Surface& s, RECT r, COLORREF color, int distance)
{
    return CountIf(s, r, [&](UINT32 p) { return !Near(p, color, distance); });
}

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gallery.Create(L"", false));
        const SIZE size = gallery.GetSize();
        ASSERT_EQ(600, size.cx);
        ASSERT_EQ(440, size.cy);
        // Keep the pointer away so no control is hovered.
        SetCursorPos(5, 5);
        surface = std::make_unique<Surface>(size.cx, size.cy);
        surface->Clear(0);
        gallery.Render(surface->Dc());
        surface->SavePng(ProgramFolder() + L"gallery-render.png");
    }
    UINT32 At(int x, int y) const { return surface->Pixel(x, y); }

    CGalleryWindow gallery;
    std::unique_ptr<Surface> surface;
};

TEST_F(GalleryTest, CardAndShadowFormTheWindowShape)
{
    EXPECT_EQ(0, Alpha(At(1, 1)));
    EXPECT_TRUE(Near(At(300, 370), kPaper, 2));
    EXPECT_EQ(255, Alpha(At(300, 370)));
    const UINT32 shadow = At(300, 434);
    EXPECT_GT(Alpha(shadow), 0);
    EXPECT_LT(Alpha(shadow), 128);
    EXPECT_EQ(0, CountNotPremultiplied(*surface));
}

// What the login window hands to UpdateLayeredWindow: premultiplied, with a
// shadow of dark pixels at low alpha around an opaque card (a screen without
// a compositor shows such pixels black, not as a shadow).
TEST(LoginPreviewTest, CardCastsADarkTranslucentShadow)
{
    CLoginPreview login;
    ASSERT_TRUE(login.Create(ProgramFolder() + L"Qnv_resource\\"));
    const SIZE size = login.GetSize();
    ASSERT_EQ(425, size.cx);
    ASSERT_EQ(290, size.cy);
    SetCursorPos(5, 5);
    Surface surface(size.cx, size.cy);
    surface.Clear(0);
    login.Render(surface.Dc());
    surface.SavePng(ProgramFolder() + L"login-render.png");
    EXPECT_EQ(0, CountNotPremultiplied(surface));
    EXPECT_EQ(0, Alpha(surface.Pixel(1, 1)));  // outside the rounded corner
    EXPECT_TRUE(Near(surface.Pixel(60, 220), kPaper, 2));  // below the brand
    EXPECT_EQ(255, Alpha(surface.Pixel(60, 220)));
    for (const POINT p : {POINT{212, 286}, POINT{3, 145}, POINT{421, 145}}) {
        const UINT32 shadow = surface.Pixel(p.x, p.y);
        EXPECT_GT(Alpha(shadow), 0) << p.x << "," << p.y;
        EXPECT_LT(Alpha(shadow), 64) << p.x << "," << p.y;
        EXPECT_LE(Red(shadow), 8) << p.x << "," << p.y;
    }
}

TEST_F(GalleryTest, ButtonsShowTheirNormalSlicesAndCaptions)
{
    EXPECT_TRUE(Near(At(36, 104), kLagoon, 2));
    EXPECT_GT(CountAway(*surface, RECT{60, 106, 104, 126}, kLagoon, 60), 20);  // white caption
    EXPECT_TRUE(Near(At(146, 104), kPaper, 2));
    EXPECT_TRUE(Near(At(142, 116), kLine, 6));
    EXPECT_GT(CountAway(*surface, RECT{170, 106, 214, 126}, kPaper, 60), 20);
    // The close button is anchored to the right edge: -44..-24.
    EXPECT_GT(CountNear(*surface, RECT{556, 22, 576, 42}, kSlate, 30), 8);
    EXPECT_GT(Alpha(At(268, 104)), 200);  // like button frame (alpha 1 after fade-in)
}

TEST_F(GalleryTest, CheckBoxesShowCheckedUncheckedAndDisabled)
{
    EXPECT_TRUE(Near(At(36, 176), kLagoon, 4));
    EXPECT_TRUE(Near(At(128, 180), kPaper, 2));
    EXPECT_TRUE(Near(At(218, 180), kCloud, 4));
    EXPECT_GT(CountNear(*surface, RECT{52, 172, 110, 188}, kInk, 60), 10);
}

TEST_F(GalleryTest, TabPicturesAndProgressPill)
{
    EXPECT_TRUE(Near(At(320, 104), kLagoon, 2));  // selected first item
    EXPECT_TRUE(Near(At(470, 104), kPaper, 2));  // unselected item, no fill
    EXPECT_TRUE(Near(At(340, 176), kLagoonLift, 6));  // natural photo sky
    EXPECT_TRUE(Near(At(390, 176), kLagoonLift, 6));  // stretched photo sky
    EXPECT_TRUE(Near(At(456, 176), kLagoon, 30));  // tile dot
    EXPECT_TRUE(Near(At(453, 173), kCloud, 4));  // tile background
    for (int x = 318; x < 478; x += 4)
        EXPECT_TRUE(Near(At(x, 258), kLagoon, 4)) << "pill x " << x;
    EXPECT_TRUE(Near(At(520, 258), kLine, 4));  // track beyond the pill
}

TEST_F(GalleryTest, TextLinkAndFieldsCarryInk)
{
    EXPECT_GT(CountNear(*surface, RECT{32, 228, 130, 242}, kInk, 60), 20);  // static text
    EXPECT_GT(CountAway(*surface, RECT{190, 228, 250, 242}, kPaper, 60), 20);  // link
    EXPECT_GT(CountNear(*surface, RECT{190, 228, 250, 242}, kLagoon, 80), 5);
    EXPECT_TRUE(Near(At(36, 300), kCloud, 2));  // name field at rest
    EXPECT_GT(CountNear(*surface, RECT{42, 291, 150, 307}, kInk, 60), 20);
    EXPECT_GT(CountNear(*surface, RECT{42, 333, 80, 349}, kInk, 60), 6);  // asterisks
    EXPECT_EQ(L"secret", gallery.PasswordEdit().GetWindowTextW());
}

TEST_F(GalleryTest, ControlsAnswerWindowMessages)
{
    HWND hwnd = gallery.GetHWND();
    POINT p{60, 116};
    ClientToScreen(hwnd, &p);
    SetCursorPos(p.x, p.y);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(60, 116));
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 116));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(60, 116));
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(L"点击了：确定", gallery.LastStatus());

    p = POINT{440, 116};
    ClientToScreen(hwnd, &p);
    SetCursorPos(p.x, p.y);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(440, 116));
    EXPECT_EQ(1, gallery.Tab().GetCurSel());
    EXPECT_EQ(L"标签页：2", gallery.LastStatus());

    // Tab moves focus between the two fields.
    gallery.NameEdit().SetFocus();
    SendMessageW(hwnd, WM_KEYDOWN, VK_TAB, 1);
    EXPECT_FALSE(gallery.NameEdit().IsFocus());
    EXPECT_TRUE(gallery.PasswordEdit().IsFocus());
    SendMessageW(hwnd, WM_KEYDOWN, VK_TAB, 1);
    EXPECT_TRUE(gallery.NameEdit().IsFocus());
}

TEST(GalleryDenseTest, FillerControlsBringTheCountToFifty)
{
    CGalleryWindow gallery;
    ASSERT_TRUE(gallery.Create(L"", false));
    gallery.AddFillerControls(50);
    EXPECT_EQ(50, gallery.ControlCount());
}

}  // namespace
