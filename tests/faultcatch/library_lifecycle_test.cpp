// Loading and unloading the handler inside this process.
#include <gtest/gtest.h>

#include <windows.h>

namespace {

LONG WINAPI StandInFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

constexpr DWORD kHandledCode = 0xE0FC0002;
int g_handledSeen = 0;

LONG WINAPI ContinueAfterHandledCode(EXCEPTION_POINTERS* pointers)
{
    if (pointers->ExceptionRecord->ExceptionCode != kHandledCode)
        return EXCEPTION_CONTINUE_SEARCH;
    ++g_handledSeen;
    return EXCEPTION_CONTINUE_EXECUTION;
}

LPTOP_LEVEL_EXCEPTION_FILTER CurrentFilter()
{
    const LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(current);
    return current;
}

HMODULE ModuleContaining(LPTOP_LEVEL_EXCEPTION_FILTER filter)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(filter), &module);
    return module;
}

DWORD ExportedFunctionCount(HMODULE module)
{
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0 || entry.Size == 0)
        return 0;
    return reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress)->NumberOfFunctions;
}

// The handler, loaded the way the client loads it; unloaded at the latest
// when the test ends so later tests start without it.
class LoadedHandler {
public:
    LoadedHandler()
        : module_(LoadLibraryW(L"faultcatch.dll"))
    {
    }
    ~LoadedHandler() { Unload(); }
    LoadedHandler(const LoadedHandler&) = delete;
    LoadedHandler& operator=(const LoadedHandler&) = delete;

    HMODULE Get() const { return module_; }
    // True when the library really left the process, so its detach ran.
    bool Unload()
    {
        if (module_ == nullptr)
            return false;
        FreeLibrary(module_);
        module_ = nullptr;
        return GetModuleHandleW(L"faultcatch.dll") == nullptr;
    }

private:
    HMODULE module_;
};

// Leaves the process's exception filter as each test found it.
class LibraryLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { original_ = CurrentFilter(); }
    void TearDown() override { SetUnhandledExceptionFilter(original_); }

private:
    LPTOP_LEVEL_EXCEPTION_FILTER original_ = nullptr;
};

TEST_F(LibraryLifecycleTest, LoadInstallsHandlerAndUnloadRestoresPreviousFilter)
{
    SetUnhandledExceptionFilter(StandInFilter);
    LoadedHandler handler;
    ASSERT_NE(handler.Get(), nullptr);

    const LPTOP_LEVEL_EXCEPTION_FILTER installed = CurrentFilter();
    EXPECT_NE(installed, &StandInFilter);
    EXPECT_EQ(ModuleContaining(installed), handler.Get());

    ASSERT_TRUE(handler.Unload());
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), &StandInFilter);
}

TEST_F(LibraryLifecycleTest, UnloadRestoresAbsenceOfFilter)
{
    SetUnhandledExceptionFilter(nullptr);
    LoadedHandler handler;
    ASSERT_NE(handler.Get(), nullptr);
    const LPTOP_LEVEL_EXCEPTION_FILTER installed = CurrentFilter();
    EXPECT_NE(installed, nullptr);
    EXPECT_EQ(ModuleContaining(installed), handler.Get());

    // Leaving the filter of an unloaded library in place would turn the next
    // crash into a jump into unmapped code.
    ASSERT_TRUE(handler.Unload());
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), nullptr);
}

// A handler of the unloaded library left in the chain would be called here,
// in unmapped code, before ours.
TEST_F(LibraryLifecycleTest, UnloadLeavesNoHandlerBehind)
{
    LoadedHandler handler;
    ASSERT_NE(handler.Get(), nullptr);
    ASSERT_TRUE(handler.Unload());

    g_handledSeen = 0;
    PVOID own = AddVectoredExceptionHandler(0, ContinueAfterHandledCode);
    ASSERT_NE(own, nullptr);
    RaiseException(kHandledCode, 0, 0, nullptr);
    RemoveVectoredExceptionHandler(own);
    EXPECT_EQ(g_handledSeen, 1);
}

TEST_F(LibraryLifecycleTest, LibraryExportsNothing)
{
    LoadedHandler handler;
    ASSERT_NE(handler.Get(), nullptr);
    EXPECT_EQ(ExportedFunctionCount(handler.Get()), 0u);
}

}  // namespace
