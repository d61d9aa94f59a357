// Stand-in for the updater the client starts on every start ("-hdl N",
// and " -man " when asked by hand). There is no update to look for, so it
// ends at once and leaves the client's process handle alone.
//
// When QUARN_PATCHLING_RECORD names a file, it first writes there what it
// was given, for the client's tests:
//   args=<its command line after the program>
//   pid=<its own process id>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string bytes(size - 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

void Record(const wchar_t* path, const wchar_t* arguments)
{
    FILE* file = _wfopen(path, L"wb");
    if (!file)
        return;
    std::fprintf(
        file, "args=%s\npid=%lu\n", Utf8(arguments).c_str(), static_cast<unsigned long>(GetCurrentProcessId()));
    std::fclose(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"QUARN_PATCHLING_RECORD", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        Record(path, arguments);
    return 0;
}
