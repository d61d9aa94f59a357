#pragma once
#include <cstddef>

#include <windows.h>
#include <winternl.h>

// GDI objects this process holds: what GetGuiResources says, or where it
// counts nothing (Wine) the live entries of the process's GDI handle table,
// which the PEB points at. -1 when neither can be read.
inline long LiveGdiObjects()
{
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted)
        return long(counted);
    struct Entry {
        unsigned long long object;
        unsigned long owner;
        unsigned short unique;
        unsigned char type;  // 0: a free entry
        unsigned char flags;
        unsigned long long userPointer;
    };
    static_assert(sizeof(Entry) == 24, "the handle table's entry");
#ifdef _WIN64
    constexpr std::size_t kTableInPeb = 0xF8;
#else
    constexpr std::size_t kTableInPeb = 0x94;
#endif
    constexpr std::size_t kEntries = 0x10000;
    const auto* peb = reinterpret_cast<const char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    const auto* table = *reinterpret_cast<const Entry* const*>(peb + kTableInPeb);
    if (!table)
        return -1;
    long live = 0;
    for (std::size_t i = 0; i < kEntries; ++i)
        live += table[i].type != 0;
    return live;
}
