// The updater start, against the stand-in updater copied beside this test
// program (its folder is its own: no other program runs from it).
#include "program_folder.h"
#include "updater_start.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring UpdaterPath() { return ProgramFolder() + L"Patchling.exe"; }

// The stand-in built for this tree, as a path this program can open.
std::wstring BuiltStandIn()
{
    std::wstring path = L"Z:" QUARN_STANDIN_PATCHLING;
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

std::map<std::string, std::string> ReadRecord(const std::wstring& path)
{
    std::map<std::string, std::string> fields;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return fields;
    std::string text;
    char buffer[512];
    for (size_t got; (got = std::fread(buffer, 1, sizeof(buffer), file)) > 0;)
        text.append(buffer, got);
    std::fclose(file);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

// Closes every message box this process shows while it lives and keeps
// each one's "caption|text".
class MessageBoxWatcher {
public:
    MessageBoxWatcher()
        : thread_([this] { Watch(); })
    {
    }
    ~MessageBoxWatcher() { Stop(); }
    std::vector<std::wstring> Captions()
    {
        Stop();
        return captions_;
    }

private:
    struct Search {
        std::vector<HWND>* seen;
        HWND found;
    };
    static BOOL CALLBACK Find(HWND window, LPARAM param)
    {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD process = 0;
        wchar_t className[16] = {};
        GetWindowThreadProcessId(window, &process);
        GetClassNameW(window, className, 16);
        if (process != GetCurrentProcessId() || std::wstring(className) != L"#32770" || !IsWindowVisible(window))
            return TRUE;
        for (HWND seen : *search->seen) {
            if (seen == window)
                return TRUE;
        }
        search->found = window;
        return FALSE;
    }
    void Watch()
    {
        std::vector<HWND> seen;
        const DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < 60000) {
            Search search{&seen, nullptr};
            EnumWindows(Find, LPARAM(&search));
            if (search.found) {
                wchar_t caption[64] = {};
                wchar_t body[64] = {};
                GetWindowTextW(search.found, caption, 64);
                GetDlgItemTextW(search.found, 0xFFFF, body, 64);
                captions_.push_back(std::wstring(caption) + L"|" + body);
                seen.push_back(search.found);
                PostMessageW(search.found, WM_COMMAND, IDOK, 0);
            }
            Sleep(20);
        }
    }
    void Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    std::atomic<bool> stop_{false};
    std::vector<std::wstring> captions_;
    std::thread thread_;
};

using NtQueryObjectFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// The access a handle grants, as the system keeps it.
ACCESS_MASK AccessOf(HANDLE handle)
{
    struct {
        ULONG attributes;
        ACCESS_MASK grantedAccess;
        ULONG rest[12];
    } info{};
    auto query = reinterpret_cast<NtQueryObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    if (!query || query(handle, 0, &info, sizeof(info), nullptr) < 0)
        return 0;
    return info.grantedAccess;
}

// The process a handle refers to, whatever access it grants itself.
DWORD ProcessOf(HANDLE handle)
{
    HANDLE readable = nullptr;
    if (!DuplicateHandle(
            GetCurrentProcess(), handle, GetCurrentProcess(), &readable, PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0))
        return 0;
    const DWORD id = GetProcessId(readable);
    CloseHandle(readable);
    return id;
}

class UpdaterStartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CopyFileW(BuiltStandIn().c_str(), UpdaterPath().c_str(), FALSE)); }
    void TearDown() override { DeleteFileW(UpdaterPath().c_str()); }
};

}  // namespace

TEST_F(UpdaterStartTest, StartsTheUpdaterNamingAHandleAndAskingByHandOnlyWhenManual)
{
    struct Row {
        bool manual;
        const char* tail;
    } const kRows[] = {{false, ""}, {true, " -man "}};
    for (const Row& row : kRows) {
        const std::wstring record = ProgramFolder() + L"patchling-record.txt";
        DeleteFileW(record.c_str());
        SetEnvironmentVariableW(L"QUARN_PATCHLING_RECORD", record.c_str());
        win32kit::ScopedHandle updater = StartUpdater(row.manual);
        SetEnvironmentVariableW(L"QUARN_PATCHLING_RECORD", nullptr);
        ASSERT_TRUE(updater) << row.manual;
        ASSERT_EQ(WaitForSingleObject(updater.Get(), 30000), WAIT_OBJECT_0);
        std::map<std::string, std::string> fields = ReadRecord(record);
        // The handle returned is the updater's own process.
        EXPECT_EQ(fields["pid"], std::to_string(GetProcessId(updater.Get()))) << row.manual;
        const std::string& args = fields["args"];
        ASSERT_EQ(args.rfind("-hdl ", 0), 0u) << args;
        const size_t digits = args.find_first_not_of("0123456789", 5);
        EXPECT_GT(digits == std::string::npos ? args.size() : digits, 5u) << args;
        EXPECT_EQ(digits == std::string::npos ? std::string() : args.substr(digits), row.tail) << args;
    }
}

// The handle the line names is one the updater inherits, is this process
// and lets the updater end it.
TEST(UpdaterHandle, TheNamedHandleIsThisProcessInheritableAndMayEndIt)
{
    win32kit::ScopedHandle self = OpenSelfForUpdater();
    ASSERT_TRUE(self);
    const std::wstring line = UpdaterParameters(self.Get(), false);
    ASSERT_EQ(line.rfind(L"-hdl ", 0), 0u);
    const HANDLE named = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::wcstoull(line.c_str() + 5, nullptr, 10)));
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(named, &flags));
    EXPECT_NE(flags & HANDLE_FLAG_INHERIT, 0u);
    EXPECT_EQ(ProcessOf(named), GetCurrentProcessId());
    EXPECT_NE(AccessOf(named) & PROCESS_TERMINATE, 0u);
}

TEST_F(UpdaterStartTest, AMissingUpdaterStartsNothingAndSaysWhy)
{
    ASSERT_TRUE(DeleteFileW(UpdaterPath().c_str()));
    MessageBoxWatcher watcher;
    win32kit::ScopedHandle updater = StartUpdater(false);
    EXPECT_FALSE(updater);
    // Its own box names the system's error in the title (under Wine the
    // shell leaves no error code to name); the start returned only once the
    // boxes were closed.
    const std::vector<std::wstring> boxes = watcher.Captions();
    const auto own = std::find_if(
        boxes.begin(), boxes.end(), [](const std::wstring& box) { return box.rfind(L"执行错误码:", 0) == 0; });
    ASSERT_NE(own, boxes.end()) << boxes.size();
    EXPECT_EQ(own->substr(own->find(L'|')), L"|升级提示");
}
