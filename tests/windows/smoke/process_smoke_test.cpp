// The process as Wine runs it: right loader, DLLs found beside the program,
// no MinGW runtime DLLs needed, threads working.
#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "smoke_library.h"

namespace {

struct ModuleFree {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using ModuleHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

class CSquare : public CSmokeShape {
public:
    explicit CSquare(int side)
        : CSmokeShape(side, side)
    {
    }
    std::wstring Name() const override { return L"square"; }
};

TEST(ProcessSmoke, RunsAsTheBitnessItWasBuiltFor)
{
    // The prefix is 64-bit: a 32-bit program must run under WoW64 there, and
    // a 64-bit one natively. Anything else means the wrong loader or prefix.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, sizeof(void*) == 4);

    SYSTEM_INFO native{};
    GetNativeSystemInfo(&native);
    EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
}

TEST(ProcessSmoke, NeedsNoCompilerRuntimeDlls)
{
    // Everything is linked statically, so the programs run from a folder
    // holding only our own files.
    for (const wchar_t* name :
        {L"libstdc++-6.dll", L"libgcc_s_dw2-1.dll", L"libgcc_s_seh-1.dll", L"libwinpthread-1.dll"}) {
        EXPECT_EQ(GetModuleHandleW(name), nullptr) << "loaded: " << std::string(name, name + wcslen(name));
    }
}

TEST(ProcessSmoke, ExportedClassCrossesTheDllBoundary)
{
    EXPECT_NE(GetModuleHandleW(L"quarn_smoke_library.dll"), nullptr);
    const int before = CSmokeShape::LiveCount();
    {
        CSquare square(7);
        EXPECT_EQ(CSmokeShape::LiveCount(), before + 1);
        // Describe runs in the DLL and must reach the program's override.
        EXPECT_EQ(square.Describe(), L"square:49");
        auto shape = std::make_unique<CSmokeShape>(3, 5);
        EXPECT_EQ(shape->Describe(), L"shape:15");
    }
    EXPECT_EQ(CSmokeShape::LiveCount(), before);
}

TEST(ProcessSmoke, LoadsALibraryByName)
{
    ModuleHandle plugin(LoadLibraryW(L"quarn_smoke_plugin.dll"));
    ASSERT_NE(plugin, nullptr) << "error " << GetLastError();

    using CountFn = LONG (*)();
    using SizeFn = int (*)();
    auto attach_count
        = reinterpret_cast<CountFn>(reinterpret_cast<void*>(GetProcAddress(plugin.get(), "quarn_smoke_attach_count")));
    auto pointer_size
        = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(plugin.get(), "quarn_smoke_pointer_size")));
    ASSERT_NE(attach_count, nullptr);
    ASSERT_NE(pointer_size, nullptr);
    EXPECT_EQ(attach_count(), 1);
    EXPECT_EQ(pointer_size(), static_cast<int>(sizeof(void*)));

    EXPECT_EQ(GetProcAddress(plugin.get(), "no_such_export"), nullptr);
}

TEST(ProcessSmoke, ThreadsShareStateUnderALock)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::mutex lock;
    std::condition_variable changed;
    int total = 0;
    int finished = 0;

    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                std::lock_guard<std::mutex> hold(lock);
                ++total;
            }
            std::lock_guard<std::mutex> hold(lock);
            ++finished;
            changed.notify_all();
        });
    }
    {
        std::unique_lock<std::mutex> hold(lock);
        EXPECT_TRUE(changed.wait_for(hold, std::chrono::seconds(60), [&] { return finished == kThreads; }));
    }
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(total, kThreads * kRounds);
}

}  // namespace
