// Stands in for the default browser in the tests' Wine prefix: the tests
// register it as the http and https handler, and it appends the address it
// was given to "opened_addresses.txt" beside itself.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 1;
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    std::wstring log(self, length);
    log.erase(log.find_last_of(L'\\') + 1);
    log += L"opened_addresses.txt";
    FILE* file = _wfopen(log.c_str(), L"ab");
    if (!file)
        return 1;
    char utf8[4096];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, utf8, sizeof(utf8), nullptr, nullptr);
    if (bytes > 1)
        fwrite(utf8, 1, size_t(bytes - 1), file);
    fputc('\n', file);
    fclose(file);
    return 0;
}
