// Pictures and layout numbers at screens of 96, 120, 144, 168, 192 and 240 DPI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skinkit/dpi.h"
#include "skinkit/image_list.h"
#include "skinkit/picture.h"
#include "test_window.h"

namespace {

constexpr COLORREF kOneX = RGB(200, 0, 0);
constexpr COLORREF kOneHalfX = RGB(0, 200, 0);
constexpr COLORREF kTwoX = RGB(0, 0, 200);

Gdiplus::Color Opaque(COLORREF c) { return Gdiplus::Color(255, GetRValue(c), GetGValue(c), GetBValue(c)); }

COLORREF CentreColour(Gdiplus::Bitmap& picture)
{
    Gdiplus::Color c;
    picture.GetPixel(int(picture.GetWidth()) / 2, int(picture.GetHeight()) / 2, &c);
    return RGB(c.GetR(), c.GetG(), c.GetB());
}

TEST(DpiTest, PicturesComeFromTheSetAtOrAboveTheDpiSizedForIt)
{
    ScratchFolder folder;
    folder.WritePng(L"p.png", 10, 6, Opaque(kOneX));
    folder.WritePng(L"p@1.5x.png", 15, 9, Opaque(kOneHalfX));
    folder.WritePng(L"p@2x.png", 20, 12, Opaque(kTwoX));
    struct Case {
        int dpi;
        int setDpi;
        int width, height;
        COLORREF from;
    };
    const Case cases[] = {
        {96, 96, 10, 6, kOneX}, {120, 144, 13, 8, kOneHalfX},  // 15 x 9 scaled down to 12.5 x 7.5
        {144, 144, 15, 9, kOneHalfX}, {168, 192, 18, 11, kTwoX}, {192, 192, 20, 12, kTwoX},
        {240, 192, 25, 15, kTwoX},  // no larger set: the largest, scaled up
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(c.setDpi, skinkit::SkinSetDpi(c.dpi));
        auto picture = skinkit::LoadSkinPicture(folder.Path() + L"p.png", c.dpi);
        ASSERT_TRUE(picture);
        EXPECT_EQ(c.width, int(picture->GetWidth()));
        EXPECT_EQ(c.height, int(picture->GetHeight()));
        EXPECT_EQ(c.from, CentreColour(*picture));
    }
}

TEST(DpiTest, AMissingSetFallsBackToTheNearestPresentOne)
{
    ScratchFolder folder;
    folder.WritePng(L"only1x.png", 10, 6, Opaque(kOneX));
    folder.WritePng(L"only2x@2x.png", 20, 12, Opaque(kTwoX));
    struct Case {
        const wchar_t* name;
        int dpi;
        int width, height;
        COLORREF from;
    };
    const Case cases[] = {
        {L"only1x.png", 192, 20, 12, kOneX},
        {L"only1x.png", 144, 15, 9, kOneX},
        {L"only2x.png", 96, 10, 6, kTwoX},
        {L"only2x.png", 144, 15, 9, kTwoX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi);
        auto picture = skinkit::LoadSkinPicture(folder.Path() + c.name, c.dpi);
        ASSERT_TRUE(picture);
        EXPECT_EQ(c.width, int(picture->GetWidth()));
        EXPECT_EQ(c.height, int(picture->GetHeight()));
        EXPECT_EQ(c.from, CentreColour(*picture));
    }
    EXPECT_FALSE(skinkit::LoadSkinPicture(folder.Path() + L"none.png", 144));
}

TEST(DpiTest, AnImageListLoadsItsPicturesForTheDpi)
{
    ScratchFolder folder;
    folder.WritePng(L"a.png", 8, 4, Opaque(kOneX));
    folder.WritePng(L"a@1.5x.png", 12, 6, Opaque(kOneHalfX));
    folder.WritePng(L"a@2x.png", 16, 8, Opaque(kTwoX));
    folder.Write(L"image_resource.ini", L"[ImageRes]\r\nImageNumber=2\r\nImageID_1=a.png\r\nImageID_2=gone.png\r\n");
    const struct {
        int dpi;
        int width;
        COLORREF from;
    } cases[] = {{96, 8, kOneX}, {120, 10, kOneHalfX}, {144, 12, kOneHalfX}, {192, 16, kTwoX}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        CImageList list;
        list.Load(folder.Path(), c.dpi);
        ASSERT_EQ(2u, list.Size());
        Gdiplus::Bitmap* picture = ImageByNumber(list.Images(), 1);
        ASSERT_TRUE(picture);
        EXPECT_EQ(c.width, int(picture->GetWidth()));
        EXPECT_EQ(c.from, CentreColour(*picture));
        EXPECT_FALSE(ImageByNumber(list.Images(), 2));
    }
}

TEST(DpiTest, RectanglesScaleEdgeByEdgeKeepingFarSideEdges)
{
    const struct {
        int dpi;
        RECT expected;
    } cases[] = {
        {96, {-145, 10, -68, 25}},
        {120, {-181, 13, -85, 31}},
        {144, {-218, 15, -102, 38}},
        {192, {-290, 20, -136, 50}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        const RECT r = skinkit::ScaleRectToDpi(RECT{-145, 10, -68, 25}, c.dpi);
        EXPECT_EQ(c.expected.left, r.left);
        EXPECT_EQ(c.expected.top, r.top);
        EXPECT_EQ(c.expected.right, r.right);
        EXPECT_EQ(c.expected.bottom, r.bottom);
    }
}

TEST(DpiTest, AWindowsDpiIsWhatItWasLastToldForItAndItsChildren)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(100, 80));
    HWND child
        = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, parent.GetHWND(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(child);
    HDC screen = GetDC(nullptr);
    const int system = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(system, skinkit::WindowDpi(parent.GetHWND()));
    skinkit::SetWindowDpi(parent.GetHWND(), 144);
    EXPECT_EQ(144, skinkit::WindowDpi(parent.GetHWND()));
    EXPECT_EQ(144, skinkit::WindowDpi(child));
    skinkit::SetWindowDpi(child, 100000);
    EXPECT_EQ(skinkit::kMaxDpi, skinkit::WindowDpi(parent.GetHWND()));
    DestroyWindow(child);
}

// Every picture of the shipped skin has its 1.5x and 2x renderings, sized as
// the program scales layout.
void CheckScaledSets(const std::wstring& folder, int& checked, std::vector<std::wstring>& wrong)
{
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CheckScaledSets(folder + name + L"\\", checked, wrong);
            continue;
        }
        const size_t dot = name.rfind(L'.');
        if (dot == std::wstring::npos || name.find(L'@') != std::wstring::npos)
            continue;
        const std::wstring ext = name.substr(dot);
        if (ext != L".png" && ext != L".jpg")
            continue;
        const std::wstring path = folder + name;
        auto one = LoadPictureFile(path);
        if (!one)
            continue;
        ++checked;
        const int w = int(one->GetWidth()), h = int(one->GetHeight());
        for (int setDpi : {144, 192}) {
            auto scaled = LoadPictureFile(skinkit::SkinSetFile(path, setDpi));
            if (!scaled || int(scaled->GetWidth()) != skinkit::ScaleToDpi(w, setDpi)
                || int(scaled->GetHeight()) != skinkit::ScaleToDpi(h, setDpi))
                wrong.push_back(skinkit::SkinSetFile(path, setDpi));
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

TEST(DpiTest, TheShippedSkinHasEveryPictureAtEachScale)
{
    int checked = 0;
    std::vector<std::wstring> wrong;
    CheckScaledSets(ProgramFolder() + L"Qnv_resource\\", checked, wrong);
    EXPECT_GT(checked, 50);
    for (const std::wstring& file : wrong)
        ADD_FAILURE() << "missing or mis-sized: " << std::string(file.begin(), file.end());
}

}  // namespace

namespace {

TEST(DpiTest, AnOwnedPopupTakesItsOwnersDpiUntilToldItsOwn)
{
    TestParent owner;
    ASSERT_TRUE(owner.Open(100, 80));
    HWND popup = CreateWindowExW(
        WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, owner.GetHWND(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(popup);
    skinkit::SetWindowDpi(owner.GetHWND(), 192);
    EXPECT_EQ(192, skinkit::WindowDpi(popup));
    skinkit::SetWindowDpi(popup, 120);
    EXPECT_EQ(120, skinkit::WindowDpi(popup));
    EXPECT_EQ(192, skinkit::WindowDpi(owner.GetHWND()));
    DestroyWindow(popup);
}

}  // namespace
