#include "win32/wallpaper.h"

#include "platform.h"
#include "win32/wide_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

// An Active Desktop that records its calls and answers as told.
class FakeDesktop : public IActiveDesktop {
public:
    HRESULT itemOptionsAnswer = S_OK;
    HRESULT answer = S_OK;  // SetWallpaper, SetWallpaperOptions, ApplyChanges

    std::vector<std::string> calls;
    COMPONENTSOPT components = {};
    WALLPAPEROPT options = {};
    std::wstring wallpaper;
    DWORD applyFlags = 0;
    LONG references = 1;

    STDMETHODIMP QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP ApplyChanges(DWORD flags) override
    {
        calls.push_back("apply");
        applyFlags = flags;
        return answer;
    }
    STDMETHODIMP SetWallpaper(PCWSTR path, DWORD) override
    {
        calls.push_back("wallpaper");
        wallpaper = path;
        return answer;
    }
    STDMETHODIMP SetWallpaperOptions(LPCWALLPAPEROPT wallpaperOptions, DWORD) override
    {
        calls.push_back("options");
        options = *wallpaperOptions;
        return answer;
    }
    STDMETHODIMP SetDesktopItemOptions(LPCCOMPONENTSOPT componentOptions, DWORD) override
    {
        calls.push_back("items");
        components = *componentOptions;
        return itemOptionsAnswer;
    }
    STDMETHODIMP GetWallpaper(PWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetWallpaperOptions(LPWALLPAPEROPT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetPattern(PWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetPattern(PCWSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemOptions(LPCOMPONENTSOPT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddDesktopItemWithUI(HWND, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP ModifyDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemCount(int*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItem(int, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemByID(ULONG_PTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GenerateDesktopItemHtml(PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddUrl(HWND, PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemBySource(PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
};

class WallpaperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        picture_ = folder_.Write("picture.jpg", std::string("\xFF\xD8\xFF\xE0 picture", 12));
        system_.windowsFolder = Widen(folder_.Root());
        system_.createDesktop = [this](IActiveDesktop** desktop) {
            ++created_;
            if (!createWorks_)
                return REGDB_E_CLASSNOTREG;
            desktop_.AddRef();
            *desktop = &desktop_;
            return S_OK;
        };
        system_.setByParameters = [this](const std::wstring& path) {
            fallbackPaths_.push_back(path);
            return fallbackWorks_;
        };
    }
    std::wstring Target() const { return Widen(folder_.Root()) + L"\\WEB\\Wallpaper\\MyWallPaper.jpg"; }

    TempFolder folder_;
    std::string picture_;
    FakeDesktop desktop_;
    WallpaperSystem system_;
    bool createWorks_ = true;
    bool fallbackWorks_ = true;
    int created_ = 0;
    std::vector<std::wstring> fallbackPaths_;
};

}  // namespace

TEST_F(WallpaperTest, ActiveDesktopSetsTheCopyStretchedAndAppliesEverything)
{
    ASSERT_EQ(SetWallpaper(picture_, system_), 1);
    EXPECT_EQ(desktop_.calls, (std::vector<std::string>{"items", "wallpaper", "options", "apply"}));
    EXPECT_EQ(desktop_.components.dwSize, 12u);
    EXPECT_TRUE(desktop_.components.fEnableComponents);
    EXPECT_TRUE(desktop_.components.fActiveDesktop);
    EXPECT_EQ(desktop_.wallpaper, Target());
    EXPECT_EQ(desktop_.options.dwSize, 8u);
    EXPECT_EQ(desktop_.options.dwStyle, DWORD(WPSTYLE_STRETCH));
    EXPECT_EQ(desktop_.applyFlags, DWORD(AD_APPLY_ALL));
    EXPECT_EQ(desktop_.references, 1) << "the object is released";
    EXPECT_TRUE(fallbackPaths_.empty());
    TempFolder reader;
    EXPECT_EQ(reader.Read(Narrow(Target())), std::string("\xFF\xD8\xFF\xE0 picture", 12));

    // The same picture again overwrites the copy and succeeds again.
    ASSERT_EQ(SetWallpaper(picture_, system_), 1);
    EXPECT_EQ(created_, 2);
}

TEST_F(WallpaperTest, ItemOptionsNotImplementedStillSetsTheWallpaper)
{
    desktop_.itemOptionsAnswer = E_NOTIMPL;
    ASSERT_EQ(SetWallpaper(picture_, system_), 1);
    EXPECT_EQ(desktop_.calls.size(), 4u);
    EXPECT_TRUE(fallbackPaths_.empty());
}

TEST_F(WallpaperTest, AShellWithoutActiveDesktopFallsBackToSystemParameters)
{
    createWorks_ = false;
    ASSERT_EQ(SetWallpaper(picture_, system_), 1);
    ASSERT_EQ(fallbackPaths_.size(), 1u);
    EXPECT_EQ(fallbackPaths_[0], Target());

    createWorks_ = true;
    desktop_.answer = E_NOTIMPL;  // a stub that takes nothing
    ASSERT_EQ(SetWallpaper(picture_, system_), 1);
    ASSERT_EQ(fallbackPaths_.size(), 2u);
    EXPECT_EQ(desktop_.references, 1);

    fallbackWorks_ = false;
    EXPECT_EQ(SetWallpaper(picture_, system_), 0);
}

TEST_F(WallpaperTest, FailuresReturnZero)
{
    desktop_.answer = E_FAIL;
    EXPECT_EQ(SetWallpaper(picture_, system_), 0);
    EXPECT_TRUE(fallbackPaths_.empty()) << "a real failure is not papered over";
    desktop_.answer = S_OK;
    desktop_.itemOptionsAnswer = E_ACCESSDENIED;
    EXPECT_EQ(SetWallpaper(picture_, system_), 0);
    desktop_.calls.clear();
    EXPECT_EQ(SetWallpaper(folder_.Path("missing.jpg"), system_), 0) << "nothing to copy";
    EXPECT_TRUE(desktop_.calls.empty());
    EXPECT_EQ(desktop_.references, 1);
}

TEST_F(WallpaperTest, TheRealShellTakesTheWallpaper)
{
    // Wine's Active Desktop is a stub: this runs the fallback for real.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WallpaperSystem real = SystemWallpaper();
    real.windowsFolder = Widen(folder_.Root());
    ASSERT_EQ(SetWallpaper(picture_, real), 1);
    wchar_t current[MAX_PATH] = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, current, 0));
    EXPECT_EQ(std::wstring(current), Target());
    if (SUCCEEDED(com))
        CoUninitialize();
}
