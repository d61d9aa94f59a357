#include "surface_ledger.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace skinkit::ledger {
namespace {

constexpr int kFrames = 8;
constexpr DWORD kPeriodMs = 2000;

struct Entry {
    int width = 0;
    int height = 0;
    std::string stack;
};

// Module and offset of each return address, so the stack resolves against
// the binaries after the run.
std::string Stack()
{
    void* frames[kFrames + 2]{};
    const USHORT count = RtlCaptureStackBackTrace(2, kFrames, frames, nullptr);
    std::string text;
    for (USHORT i = 0; i < count; ++i) {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(frames[i]), &module);
        char name[MAX_PATH] = "?";
        if (module)
            GetModuleFileNameA(module, name, MAX_PATH);
        const char* base = std::strrchr(name, '\\');
        char frame[MAX_PATH + 32];
        std::snprintf(frame, sizeof(frame), " %s+0x%llx", base ? base + 1 : name,
            static_cast<unsigned long long>(
                reinterpret_cast<ULONG_PTR>(frames[i]) - reinterpret_cast<ULONG_PTR>(module)));
        text += frame;
    }
    return text;
}

class Ledger {
public:
    static Ledger* Get()
    {
        static Ledger* ledger = Make();
        return ledger;
    }
    void Made(const void* holder, int width, int height)
    {
        Entry entry{width, height, Stack()};
        EnterCriticalSection(&m_lock);
        m_live[holder] = std::move(entry);
        ++m_changes;
        LeaveCriticalSection(&m_lock);
    }
    void Gone(const void* holder)
    {
        EnterCriticalSection(&m_lock);
        m_changes += m_live.erase(holder);
        LeaveCriticalSection(&m_lock);
    }

private:
    explicit Ledger(std::wstring path)
        : m_path(std::move(path))
    {
        InitializeCriticalSection(&m_lock);
    }

    static Ledger* Make()
    {
        wchar_t path[MAX_PATH];
        const DWORD length = GetEnvironmentVariableW(L"QUARN_SURFACE_LEDGER", path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return nullptr;
        // Lives as long as the process: its writer never stops.
        auto* ledger = new Ledger(path);
        HANDLE writer = CreateThread(nullptr, 0, &Ledger::Writer, ledger, 0, nullptr);
        if (writer)
            CloseHandle(writer);
        return ledger;
    }

    static DWORD WINAPI Writer(void* self)
    {
        auto* ledger = static_cast<Ledger*>(self);
        for (long written = -1;; Sleep(kPeriodMs))
            written = ledger->WriteIfChanged(written);
    }

    long WriteIfChanged(long written)
    {
        std::map<std::string, std::pair<int, long long>> byStack;  // count, pixels
        EnterCriticalSection(&m_lock);
        const long changes = m_changes;
        if (changes != written) {
            for (const auto& [holder, entry] : m_live) {
                auto& sum = byStack[entry.stack];
                ++sum.first;
                sum.second += static_cast<long long>(entry.width) * entry.height;
            }
        }
        LeaveCriticalSection(&m_lock);
        if (changes == written)
            return written;
        FILE* out = _wfopen(m_path.c_str(), L"w");
        if (!out)
            return written;
        for (const auto& [stack, sum] : byStack)
            std::fprintf(out, "%d %lld%s\n", sum.first, sum.second, stack.c_str());
        std::fclose(out);
        return changes;
    }

    std::wstring m_path;
    CRITICAL_SECTION m_lock;
    std::map<const void*, Entry> m_live;
    long m_changes = 0;
};

}  // namespace

void Made(const void* holder, int width, int height)
{
    if (Ledger* ledger = Ledger::Get())
        ledger->Made(holder, width, height);
}

void Gone(const void* holder)
{
    if (Ledger* ledger = Ledger::Get())
        ledger->Gone(holder);
}

}  // namespace skinkit::ledger
