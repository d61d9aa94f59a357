// The program's manifest, linked into this test as into the program: the
// system reads its DPI settings in their namespaces and the process runs
// per-monitor DPI aware from its first instruction.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr wchar_t kSettings2005[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
constexpr wchar_t kSettings2016[] = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";

// A setting of the process's manifest as the system's activation context
// reads it; empty when it has none.
std::wstring ManifestSetting(const wchar_t* space, const wchar_t* name)
{
    wchar_t value[128] = {};
    SIZE_T length = 0;
    if (!QueryActCtxSettingsW(0, nullptr, space, name, value, ARRAYSIZE(value), &length))
        return {};
    return value;
}

template <typename Function> Function User32(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

TEST(DpiAwareness, TheManifestAsksForPerMonitorAwarenessWithItsFallbacks)
{
    // Per-monitor v2 where the system knows it, else per-monitor; a system
    // that reads only the older element takes "true/pm".
    EXPECT_EQ(ManifestSetting(kSettings2016, L"dpiAwareness"), L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(ManifestSetting(kSettings2005, L"dpiAware"), L"true/pm");
}

TEST(DpiAwareness, TheProcessIsPerMonitorAware)
{
    EXPECT_TRUE(IsProcessDPIAware());
    using GetContext = DPI_AWARENESS_CONTEXT(WINAPI*)();
    using GetAwareness = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
    const auto context = User32<GetContext>("GetThreadDpiAwarenessContext");
    const auto awareness = User32<GetAwareness>("GetAwarenessFromDpiAwarenessContext");
    ASSERT_TRUE(context && awareness) << "the system has no per-monitor awareness to ask about";
    EXPECT_EQ(awareness(context()), DPI_AWARENESS_PER_MONITOR_AWARE);
}

}  // namespace
