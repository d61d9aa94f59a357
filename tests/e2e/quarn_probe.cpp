// The journeys' hand inside Wine, for what the pointer and keyboard cannot
// reach: the tray icon's callback (there is no tray on the test display), the
// Run values and the browser Wine starts. Each argument is one step:
//   post:MSG:LPARAM    post MSG (wParam 0) to the running main window
//   browser:PATH       let Wine hand opened addresses to the program at PATH
//   user-run:TEXT      write the user's Run value
//   clear-run          remove both Run values
//   query-run          print "machine=...", "user=..." ("-" when absent)
// Exit code 0 when every step succeeded.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

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

bool Post(const std::wstring& message)
{
    // "MSG:LPARAM"
    const std::size_t colon = message.find(L':');
    if (colon == std::wstring::npos)
        return false;
    const UINT msg = UINT(wcstoul(message.c_str(), nullptr, 10));
    const LPARAM lParam = LPARAM(wcstol(message.c_str() + colon + 1, nullptr, 10));
    HWND main = FindWindowW(L"Qaurn_Navigate_window", nullptr);
    return main && PostMessageW(main, msg, 0, lParam);
}

bool Step(const std::wstring& step)
{
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
