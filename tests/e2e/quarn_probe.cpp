// The journeys' hand inside Wine, for what the pointer and keyboard cannot
// reach: the tray icon's callback (there is no tray on the test display), the
// Run values and the browser Wine starts. Each argument is one step:
//   post:MSG:LPARAM    post MSG (wParam 0) to the running main window
//   browser:PATH       let Wine hand opened addresses to the program at PATH
//   user-run:TEXT      write the user's Run value
//   clear-run          remove both Run values
//   query-run          print "machine=...", "user=..." ("-" when absent)
//   watch:PATH         until the file PATH exists, send the main window WM_NULL
//                      every 100 ms; fails when it once took a second or more
//                      or the window was gone; prints "pings= worst_ms= late=
//                      missing="
//   stats              print the program's "private= handles= threads= gdi=
//                      user= gdi_table=" (bytes, counts; gdi and user are 0
//                      where Wine does not count them; gdi_table counts the
//                      live entries of Wine's GDI handle table, -1 if unread)
//   gdi-selftest       checks the handle-table count on this process: 40
//                      brushes made show as 40 more entries, deleted as none
//   decode:PATH        decodes the picture file with GDI+ five times and prints
//                      "decode_ms=" of the quickest (a benchmark's reference)
// Exit code 0 when every step succeeded.
#include <windows.h>
// Process counters and the thread list need the Windows types first.
#include <gdiplus.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <memory>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValue[] = L"Vorlane";

bool SetText(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring& text)
{
    return RegSetKeyValueW(root, path, name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)))
        == ERROR_SUCCESS;
}

std::wstring RunValue(HKEY root)
{
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(root, kRunKey, kValue, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return L"-";
    return data;
}

HWND MainWindow() { return FindWindowW(L"Qaurn_Navigate_window", nullptr); }

bool Post(const std::wstring& message)
{
    // "MSG:LPARAM"
    const std::size_t colon = message.find(L':');
    if (colon == std::wstring::npos)
        return false;
    const UINT msg = UINT(wcstoul(message.c_str(), nullptr, 10));
    const LPARAM lParam = LPARAM(wcstol(message.c_str() + colon + 1, nullptr, 10));
    HWND main = MainWindow();
    return main && PostMessageW(main, msg, 0, lParam);
}

bool Watch(const std::wstring& stopFile)
{
    constexpr UINT kLimitMs = 1000;
    int pings = 0, late = 0, missing = 0;
    ULONGLONG worst = 0;
    const ULONGLONG begin = GetTickCount64();
    while (GetFileAttributesW(stopFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        HWND main = MainWindow();
        if (!main) {
            ++missing;
        } else {
            DWORD_PTR result = 0;
            const ULONGLONG start = GetTickCount64();
            const bool answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, kLimitMs, &result) != 0;
            const ULONGLONG took = GetTickCount64() - start;
            ++pings;
            worst = took > worst ? took : worst;
            if (took >= kLimitMs / 4)
                std::printf("slow at_ms=%llu took_ms=%llu tick=%llu\n", start - begin, took, start);
            // A window destroyed between the two calls is missing, not late.
            if (!answered && IsWindow(main))
                ++late;
            else if (!answered)
                ++missing;
            else if (took >= kLimitMs)
                ++late;
        }
        Sleep(100);
    }
    std::printf("pings=%d worst_ms=%llu late=%d missing=%d\n", pings, worst, late, missing);
    std::fflush(stdout);
    return late == 0 && missing == 0;
}

int CountThreads(DWORD pid)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == pid;
    CloseHandle(snapshot);
    return count;
}

// Wine keeps each process's GDI objects in a handle table the PEB points at
// (GdiSharedHandleTable); an entry whose type byte is not 0 is a live object.
// The layout is checked by gdi-selftest before any figure is trusted.
struct GdiHandleEntry {
    unsigned long long object;
    unsigned long owner;
    unsigned short unique;
    unsigned char type;
    unsigned char flags;
    unsigned long long userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "Wine's 64-bit handle entry");
constexpr std::size_t kGdiHandles = 0x10000;
constexpr std::size_t kPebGdiTable = 0xF8;  // 64-bit PEB

struct BasicInformation {
    LONG exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR parentProcessId;
};

long CountGdiTable(HANDLE process, std::string* types = nullptr)
{
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    BasicInformation basic = {};
    if (!query || query(process, 0, &basic, sizeof basic, nullptr) != 0 || !basic.pebBaseAddress)
        return -1;
    void* table = nullptr;
    SIZE_T read = 0;
    if (!ReadProcessMemory(
            process, static_cast<char*>(basic.pebBaseAddress) + kPebGdiTable, &table, sizeof table, &read)
        || !table)
        return -1;
    std::vector<GdiHandleEntry> entries(kGdiHandles);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiHandleEntry), &read))
        return -1;
    long live = 0;
    long byType[256] = {};
    for (const GdiHandleEntry& entry : entries) {
        live += entry.type != 0;
        ++byType[entry.type];
    }
    for (int t = 1; types && t < 256; ++t) {
        if (byType[t])
            *types += std::to_string(t) + ":" + std::to_string(byType[t]) + ",";
    }
    return live;
}

bool GdiSelfTest()
{
    constexpr int kMade = 40;
    const long before = CountGdiTable(GetCurrentProcess());
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < kMade; ++i)
        brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    const long made = CountGdiTable(GetCurrentProcess());
    for (HBRUSH brush : brushes)
        DeleteObject(brush);
    const long after = CountGdiTable(GetCurrentProcess());
    std::printf("gdi_table before=%ld made=%ld after=%ld\n", before, made, after);
    return before >= 0 && made == before + kMade && after == before;
}

// Wine leaves another process's handle count at 0; its system handle list
// names every handle with its owner.
long CountHandles(DWORD pid)
{
    struct Entry {
        USHORT ownerPid;
        USHORT creatorBackTraceIndex;
        UCHAR objectType;
        UCHAR attributes;
        USHORT handle;
        void* object;
        ACCESS_MASK access;
    };
    using QueryFn = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    LONG status = 0;
    while ((status = query(16, buffer.data(), ULONG(buffer.size()), &needed)) == LONG(0xC0000004)
        && buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    const std::size_t room = (buffer.size() - sizeof(void*)) / sizeof(Entry);
    long owned = 0;
    for (ULONG i = 0; i < count && i < room; ++i)
        owned += entries[i].ownerPid == USHORT(pid);
    return owned;
}

bool Stats()
{
    DWORD pid = 0;
    HWND main = MainWindow();
    if (!main || !GetWindowThreadProcessId(main, &pid))
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        return false;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    const bool haveMemory
        = GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) != 0;
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    std::string types;
    const long table = CountGdiTable(process, &types);
    CloseHandle(process);
    std::printf(
        "private=%llu handles=%lu threads=%d gdi=%lu user=%lu gdi_table=%ld handle_list=%ld pid=%lu gdi_types=%s\n",
        haveMemory ? static_cast<unsigned long long>(memory.PrivateUsage) : 0ULL, handles, CountThreads(pid), gdi, user,
        table, CountHandles(pid), pid, types.empty() ? "-" : types.c_str());
    std::fflush(stdout);
    return haveMemory;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// One decode: the file read and every pixel made, as a viewer needs them.
bool DecodeOnce(const std::wstring& path, double& ms)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromFile(path.c_str()));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok)
        return false;
    Gdiplus::Rect all(0, 0, INT(bitmap->GetWidth()), INT(bitmap->GetHeight()));
    Gdiplus::BitmapData data{};
    if (bitmap->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return false;
    bitmap->UnlockBits(&data);
    QueryPerformanceCounter(&end);
    ms = Milliseconds(start, end);
    return true;
}

bool Decode(const std::wstring& path)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    double best = 1e9;
    bool decoded = true;
    for (int i = 0; i < 5 && decoded; ++i) {
        double ms = 0;
        decoded = DecodeOnce(path, ms);
        best = std::min(best, ms);
    }
    Gdiplus::GdiplusShutdown(token);
    if (decoded)
        std::printf("decode_ms=%.2f\n", best);
    return decoded;
}

bool Step(const std::wstring& step)
{
    if (step.rfind(L"decode:", 0) == 0)
        return Decode(step.substr(7));
    if (step.rfind(L"watch:", 0) == 0)
        return Watch(step.substr(6));
    if (step == L"stats")
        return Stats();
    if (step == L"gdi-selftest")
        return GdiSelfTest();
    if (step.rfind(L"post:", 0) == 0)
        return Post(step.substr(5));
    if (step.rfind(L"browser:", 0) == 0)
        return SetText(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers", step.substr(8));
    if (step.rfind(L"user-run:", 0) == 0)
        return SetText(HKEY_CURRENT_USER, kRunKey, kValue, step.substr(9));
    if (step == L"clear-run") {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, kValue);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kValue);
        return true;
    }
    if (step == L"query-run") {
        std::printf(
            "machine=%ls\nuser=%ls\n", RunValue(HKEY_LOCAL_MACHINE).c_str(), RunValue(HKEY_CURRENT_USER).c_str());
        return true;
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (!Step(argv[i])) {
            std::fprintf(stderr, "quarn_probe: %ls failed\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
