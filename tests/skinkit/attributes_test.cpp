// INI value syntaxes, image lists and rectangle anchoring.
#include <gtest/gtest.h>

#include "skinkit/button.h"
#include "skinkit/hyperlink.h"
#include "skinkit/image_list.h"
#include "skinkit/ini_file.h"
#include "skinkit/picture.h"
#include "skinkit/static_text.h"
#include "skinkit/tab.h"
#include "test_window.h"

namespace {

wchar_t* Key(const wchar_t* key) { return const_cast<wchar_t*>(key); }

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ini = folder.Write(L"values.ini",
            L"[s]\r\n"
            L"dec=42\r\noct=010\r\nhex=0x10\r\nneg=-7\r\nempty=\r\nword=abc\r\n"
            L"rect=-100,10,-10,40\r\nshortrect=1,2,3\r\nhexrect=0x10,010,3,4\r\n"
            L"color=200,10,5\r\nshortcolor=200,10\r\n"
            L"list_oct=010,0x10,7,8\r\nlist_blank= 5, 6,7 ,8\r\nlist_nocomma=200\r\n"
            L"lcolor_short=200,10\r\nlcolor_one=200\r\nlcolor_full=1,2,3\r\nlcolor_empty=\r\n"
            L"text=记住密码\r\n");
    }
    ScratchFolder folder;
    std::wstring ini;
};

TEST_F(IniFileTest, IntegerReaderTakesDecimalOctalAndHex)
{
    int value = -1;
    EXPECT_NE(0, CIniFile::GetIntValue(ini.c_str(), L"s", Key(L"dec"), value));
    EXPECT_EQ(42, value);
    EXPECT_NE(0, CIniFile::GetIntValue(ini.c_str(), L"s", Key(L"oct"), value));
    EXPECT_EQ(8, value);
    EXPECT_NE(0, CIniFile::GetIntValue(ini.c_str(), L"s", Key(L"hex"), value));
    EXPECT_EQ(16, value);
    EXPECT_NE(0, CIniFile::GetIntValue(ini.c_str(), L"s", Key(L"neg"), value));
    EXPECT_EQ(-7, value);
}

TEST_F(IniFileTest, ReadersLeaveOutputAloneWhenAbsentEmptyOrUnreadable)
{
    int value = 1234;
    EXPECT_EQ(0, CIniFile::GetIntValue(ini.c_str(), L"s", Key(L"missing"), value));
    EXPECT_EQ(0, CIniFile::GetIntValue(ini.c_str(), L"s", Key(L"empty"), value));
    EXPECT_EQ(0, CIniFile::GetIntValue(ini.c_str(), L"s", Key(L"word"), value));
    EXPECT_EQ(0, CIniFile::GetIntValue(ini.c_str(), L"nosection", Key(L"dec"), value));
    EXPECT_EQ(1234, value);
    RECT r{1, 2, 3, 4};
    EXPECT_EQ(0, CIniFile::GetRectValue(ini.c_str(), L"s", Key(L"missing"), r));
    EXPECT_EQ(0, CIniFile::GetRectValue(ini.c_str(), L"s", Key(L"shortrect"), r));
    EXPECT_EQ(1, r.left);
    EXPECT_EQ(4, r.bottom);
    COLORREF c = RGB(9, 9, 9);
    EXPECT_EQ(0, CIniFile::GetColorValue(ini.c_str(), L"s", Key(L"shortcolor"), c));
    EXPECT_EQ(RGB(9, 9, 9), c);
    wchar_t text[16] = L"keep";
    EXPECT_EQ(0, CIniFile::GetKeyValue(ini.c_str(), L"s", Key(L"empty"), text, 16));
    EXPECT_STREQ(L"keep", text);
}

TEST_F(IniFileTest, RectColorAndStringReaders)
{
    RECT r{};
    EXPECT_NE(0, CIniFile::GetRectValue(ini.c_str(), L"s", Key(L"rect"), r));
    EXPECT_EQ(-100, r.left);
    EXPECT_EQ(10, r.top);
    EXPECT_EQ(-10, r.right);
    EXPECT_EQ(40, r.bottom);
    EXPECT_NE(0, CIniFile::GetRectValue(ini.c_str(), L"s", Key(L"hexrect"), r));
    EXPECT_EQ(16, r.left);
    EXPECT_EQ(8, r.top);
    COLORREF c = 0;
    EXPECT_NE(0, CIniFile::GetColorValue(ini.c_str(), L"s", Key(L"color"), c));
    EXPECT_EQ(RGB(200, 10, 5), c);
    wchar_t text[16] = {};
    EXPECT_NE(0, CIniFile::GetKeyValue(ini.c_str(), L"s", Key(L"text"), text, 16));
    EXPECT_STREQ(L"记住密码", text);
}

TEST_F(IniFileTest, SetKeyValueWritesWhatTheReaderReadsBack)
{
    EXPECT_NE(0, CIniFile::SetKeyValue(ini.c_str(), L"w", Key(L"n"), Key(L"0x20")));
    int value = 0;
    EXPECT_NE(0, CIniFile::GetIntValue(ini.c_str(), L"w", Key(L"n"), value));
    EXPECT_EQ(32, value);
}

TEST_F(IniFileTest, ListReadersAreDecimalOnlyAndFillMissingParts)
{
    RECT r = CStaticUI::GetPrivateProfileRect(L"s", L"list_oct", ini.c_str());
    EXPECT_EQ(10, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(7, r.right);
    EXPECT_EQ(8, r.bottom);
    r = CStaticUI::GetPrivateProfileRect(L"s", L"list_blank", ini.c_str());
    EXPECT_EQ(5, r.left);
    EXPECT_EQ(6, r.top);
    EXPECT_EQ(7, r.right);
    r = CHyperLinkUI::GetPrivateProfileRect(L"s", L"shortrect", ini.c_str());
    EXPECT_EQ(3, r.right);
    EXPECT_EQ(0, r.bottom);
    r = CStaticUI::GetPrivateProfileRect(L"s", L"list_nocomma", ini.c_str());
    EXPECT_TRUE(IsRectEmpty(&r));
    EXPECT_EQ(0, r.left);

    EXPECT_EQ(RGB(200, 10, 74), CStaticUI::GetPrivateProfileColor(L"s", L"lcolor_short", ini.c_str()));
    EXPECT_EQ(RGB(58, 67, 74), CStaticUI::GetPrivateProfileColor(L"s", L"lcolor_one", ini.c_str()));
    EXPECT_EQ(RGB(58, 67, 74), CStaticUI::GetPrivateProfileColor(L"s", L"lcolor_empty", ini.c_str()));
    EXPECT_EQ(RGB(58, 67, 74), CStaticUI::GetPrivateProfileColor(L"s", L"absent", ini.c_str()));
    EXPECT_EQ(RGB(1, 2, 3), CHyperLinkUI::GetPrivateProfileColor(L"s", L"lcolor_full", ini.c_str()));
}

TEST(ImageListTest, MissingFileKeepsNumberingAndAbsentCountGivesEmptyList)
{
    ScratchFolder folder;
    folder.WritePng(L"one.png", 4, 2, Gdiplus::Color(255, 255, 0, 0));
    folder.WritePng(L"three.png", 6, 3, Gdiplus::Color(255, 0, 0, 255));
    folder.Write(L"image_resource.ini",
        L"[ImageRes]\r\nImageNumber=3\r\nImageID_1=one.png\r\nImageID_2=gone.png\r\nImageID_3=three.png\r\n");
    CImageList list;
    list.Load(folder.Path());
    ASSERT_EQ(3u, list.Size());
    ASSERT_NE(nullptr, list.Images()[0]);
    EXPECT_EQ(nullptr, list.Images()[1]);
    ASSERT_NE(nullptr, ImageByNumber(list.Images(), 3));
    EXPECT_EQ(6u, ImageByNumber(list.Images(), 3)->GetWidth());
    EXPECT_EQ(nullptr, ImageByNumber(list.Images(), 0));
    EXPECT_EQ(nullptr, ImageByNumber(list.Images(), -1));
    EXPECT_EQ(nullptr, ImageByNumber(list.Images(), 4));

    folder.Write(L"image_resource.ini", L"[ImageRes]\r\nImageID_1=one.png\r\n");
    list.Load(folder.Path());
    EXPECT_EQ(0u, list.Size());
    EXPECT_EQ(nullptr, ImageByNumber(list.Images(), 1));
}

TEST(SkinCountTest, CountsOutOfRangeAreIgnored)
{
    struct Case {
        const wchar_t* count;
        size_t images;
        int tabItems;
    };
    const Case kCases[] = {
        {L"2000000000", 0, 0},  // would mean two billion profile reads
        {L"4294967295", 0, 0},
        {L"-1", 0, 0},
        {L"4097", 0, 0},
        {L"4096", 4096, 2},
        {L"1", 1, 1},
    };
    ScratchFolder folder;
    folder.WritePng(L"one.png", 4, 2, Gdiplus::Color(255, 255, 0, 0));
    const std::unique_ptr<Gdiplus::Bitmap> item = Strip(4, 2, {RGB(255, 0, 0)});
    const std::deque<Gdiplus::Bitmap*> tabImages{item.get()};
    TestParent parent;
    ASSERT_TRUE(parent.Open(200, 100));
    for (const Case& c : kCases) {
        const std::wstring count = c.count;
        folder.Write(L"image_resource.ini", L"[ImageRes]\r\nImageNumber=" + count + L"\r\nImageID_1=one.png\r\n");
        const std::wstring tabIni = folder.Write(L"tab.ini",
            L"[tab]\r\nItemCount=" + count + L"\r\nImage_Item1=1\r\nImage_Item4096=1\r\nImage_Item4097=1\r\n");
        CImageList list;
        list.Load(folder.Path());
        EXPECT_EQ(c.images, list.Size()) << "ImageNumber=" << count;
        CTabUI tab;
        ASSERT_TRUE(tab.Create(parent.GetHWND(), 1));
        tab.SetAttribute(L"tab", tabIni, tabImages);
        EXPECT_EQ(c.tabItems, tab.GetItemCount()) << "ItemCount=" << count;
    }
}

TEST(AnchoringTest, NegativeRectFollowsTheParentWidth)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(500, 300));
    ScratchFolder folder;
    const std::wstring ini
        = folder.Write(L"layout.ini", L"[b]\r\nrect=-100,10,-10,40\r\n[p]\r\nrect=10,-50,-10,-10\r\n");
    CButtonUI button;
    CPictureUI picture;
    ASSERT_TRUE(button.Create(parent.GetHWND(), 7));
    ASSERT_TRUE(picture.Create(parent.GetHWND(), true));
    const std::deque<Gdiplus::Bitmap*> none;
    button.SetAttribute(L"b", ini, none);
    picture.SetAttribute(L"p", ini, none);
    RECT r = button.GetWindowRect();
    EXPECT_EQ(400, r.left);
    EXPECT_EQ(10, r.top);
    EXPECT_EQ(490, r.right);
    EXPECT_EQ(40, r.bottom);
    EXPECT_EQ(250, picture.GetWindowRect().top);

    parent.router = [&](UINT msg, WPARAM wParam, LPARAM lParam) {
        button.WindowProc(parent.GetHWND(), msg, wParam, lParam);
        picture.WindowProc(parent.GetHWND(), msg, wParam, lParam);
    };
    SetWindowPos(parent.GetHWND(), nullptr, 0, 0, 600, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    r = button.GetWindowRect();
    EXPECT_EQ(500, r.left);
    EXPECT_EQ(590, r.right);
    EXPECT_EQ(10, r.top);
    EXPECT_EQ(350, picture.GetWindowRect().top);
    // A minimised parent leaves the rectangles alone.
    button.WindowProc(parent.GetHWND(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(500, button.GetWindowRect().left);
}

TEST(AttributeDefaultsTest, ControlsKeepOrResetValuesAsTheKeyKindSays)
{
    TestParent parent;
    ASSERT_TRUE(parent.Open(300, 200));
    ScratchFolder folder;
    const std::wstring ini = folder.Write(L"d.ini",
        L"[link]\r\nURL=http://127.0.0.1/\r\nrect=5,6\r\n"
        L"[button]\r\nText=确定\r\n");
    CHyperLinkUI link;
    ASSERT_TRUE(link.Create(parent.GetHWND(), 3));
    EXPECT_EQ(RGB(132, 132, 132), link.GetLinkColor());
    link.SetAttribute(L"link", ini);
    // An absent list colour is the default ink, not the constructor's grey.
    EXPECT_EQ(RGB(58, 67, 74), link.GetLinkColor());
    EXPECT_EQ(RGB(58, 67, 74), link.GetActiveLinkColor());
    EXPECT_EQ(L"http://127.0.0.1/", link.GetShownText());
    EXPECT_EQ(CHyperLinkUI::kStyleAutoSize, link.GetWindowStyle() & CHyperLinkUI::kStyleAutoSize);
    const RECT lr = link.GetWindowRect();
    EXPECT_EQ(5, lr.left);
    EXPECT_EQ(6, lr.top);
    EXPECT_GT(lr.right - lr.left, 40);

    CButtonUI button;
    ASSERT_TRUE(button.Create(parent.GetHWND(), 4));
    button.SetTextColor(RGB(1, 2, 3));
    button.SetWindowRect(1, 2, 3, 4);
    button.SetAttribute(L"button", ini, {});
    // "%i" keys that are absent keep the previous value.
    EXPECT_EQ(RGB(1, 2, 3), button.GetTextColor());
    EXPECT_EQ(3, button.GetWindowRect().right);
    std::wstring text;
    button.GetWindowTextW(text);
    EXPECT_EQ(L"确定", text);
}

}  // namespace
