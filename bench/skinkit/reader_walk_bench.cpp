// What a screen reader's walk over a drawn list costs: a window hosting one
// list of N rows, each named by 200 characters of service text; the walk
// reads every row's name, role, state and place through the list's object,
// as a reader reviewing the list does. Every call describes the window
// afresh: with the rows listed whole the walk grows with the square of the
// rows, with each row made when asked for it grows with the rows. Also the
// cost of the reader's first question (WM_GETOBJECT). Run it under Wine with
// a display: wine64 bin/skinkit_reader_bench.exe.
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <string>

#include "accessible_reading.h"
#include "paint_timing.h"
#include "skinkit/accessible_facts.h"
#include "skinkit/window_base.h"
#include "win32kit/scoped_win.h"

namespace {

constexpr int kRuns = 5;

class ListWindow : public CWindowBase {
public:
    const wchar_t* GetWindowClassName() const override { return L"ReaderWalkBench"; }
    BOOL HandleMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return FALSE; }
};

// Reads every row once; false when the list could not be read.
bool Walk(IAccessible* client)
{
    win32kit::ComPtr<IDispatch> dispatch;
    if (client->get_accChild(AccessibleChild(1), dispatch.Out()) != S_OK)
        return false;
    win32kit::ComPtr<IAccessible> list;
    dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(list.Out()));
    long count = 0;
    if (!list || list->get_accChildCount(&count) != S_OK)
        return false;
    for (long id = 1; id <= count; ++id) {
        BSTR name = nullptr;
        list->get_accName(AccessibleChild(id), &name);
        SysFreeString(name);
        VARIANT value;
        list->get_accRole(AccessibleChild(id), &value);
        list->get_accState(AccessibleChild(id), &value);
        long x = 0, y = 0, w = 0, h = 0;
        list->accLocation(&x, &y, &w, &h, AccessibleChild(id));
    }
    return true;
}

int Run(int rows, bool onDemand)
{
    // The service's text as the rows get it.
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "\xe9\x95\xbf";
    ListWindow window;
    window.HostDescriber(
        [&] {
            const auto makeRow = [&](size_t i) {
                AccessibleFacts row;
                row.name = ReadableText(text);
                row.role = ROLE_SYSTEM_LISTITEM;
                row.rect = RECT{0, int(i) * 72, 300, int(i) * 72 + 72};
                return row;
            };
            AccessibleFacts list;
            list.role = ROLE_SYSTEM_LIST;
            if (onDemand) {
                list.rowCount = size_t(rows);
                list.row = makeRow;
                return list;
            }
            for (int i = 0; i < rows; ++i)
                list.children.push_back(makeRow(size_t(i)));
            return list;
        },
        &window);
    if (!window.Create(nullptr, L"reader bench", WS_POPUP, 0, 0, 0, 400, 300, nullptr)) {
        std::printf("reader_walk: no window\n");
        return 1;
    }
    win32kit::ComPtr<IAccessible> client;
    if (AccessibleObjectFromWindow(window.GetHWND(), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
            reinterpret_cast<void**>(client.Out()))
        != S_OK) {
        std::printf("reader_walk: no accessible object\n");
        return 1;
    }
    bool read = true;
    const double walk = MedianMs(kRuns, [&] { read = Walk(client.Get()) && read; });
    const double question = MedianMs(kRuns * 20, [&] {
        const LRESULT answer = SendMessageW(window.GetHWND(), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
        win32kit::ComPtr<IAccessible> taken;
        ObjectFromLresult(answer, __uuidof(IAccessible), 0, reinterpret_cast<void**>(taken.Out()));
    });
    DestroyWindow(window.GetHWND());
    if (!read) {
        std::printf("reader_walk: the list could not be read\n");
        return 1;
    }
    std::printf("reader_walk rows=%d %s walk_ms=%.2f per_row_us=%.1f get_object_us=%.1f\n", rows,
        onDemand ? "on_demand" : "whole", walk, walk * 1000.0 / rows, question * 1000.0);
    return 0;
}

}  // namespace

int wmain()
{
    CoInitialize(nullptr);
    int failed = 0;
    for (const bool onDemand : {false, true})
        for (const int rows : {10, 100, 1000})
            failed |= Run(rows, onDemand);
    CoUninitialize();
    return failed;
}
