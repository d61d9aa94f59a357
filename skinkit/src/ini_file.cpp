#include "skinkit/ini_file.h"

#include <cwchar>
#include <string>

#include "profile_cache.h"

namespace {

// Reads the raw value into a 256-character buffer; false when absent or empty.
bool ReadValue(const wchar_t* file, const wchar_t* section, const wchar_t* key, wchar_t (&buffer)[256])
{
    buffer[0] = L'\0';
    std::wstring value;
    if (file && section && key && skinkit::CachedProfileString(file, section, key, 256, value)) {
        wcsncpy(buffer, value.c_str(), 255);
        buffer[255] = L'\0';
        return !value.empty();
    }
    const DWORD n = GetPrivateProfileStringW(section, key, L"", buffer, 256, file);
    return n > 0;
}

}  // namespace

int CIniFile::GetKeyValue(const wchar_t* file, const wchar_t* section, wchar_t* key, wchar_t* out, DWORD size)
{
    if (!out || size == 0)
        return 0;
    wchar_t buffer[256];
    if (!ReadValue(file, section, key, buffer))
        return 0;
    wcsncpy(out, buffer, size - 1);
    out[size - 1] = L'\0';
    return 1;
}

int CIniFile::SetKeyValue(const wchar_t* file, const wchar_t* section, wchar_t* key, wchar_t* value)
{
    const BOOL written = WritePrivateProfileStringW(section, key, value, file);
    if (file)
        skinkit::ForgetProfile(file);
    return written ? 1 : 0;
}

int CIniFile::GetIntValue(const wchar_t* file, const wchar_t* section, wchar_t* key, int& out)
{
    wchar_t buffer[256];
    if (!ReadValue(file, section, key, buffer))
        return 0;
    int value = 0;
    if (swscanf(buffer, L"%i", &value) != 1)
        return 0;
    out = value;
    return 1;
}

int CIniFile::GetRectValue(const wchar_t* file, const wchar_t* section, wchar_t* key, RECT& out)
{
    wchar_t buffer[256];
    if (!ReadValue(file, section, key, buffer))
        return 0;
    int l = 0, t = 0, r = 0, b = 0;
    if (swscanf(buffer, L"%i,%i,%i,%i", &l, &t, &r, &b) != 4)
        return 0;
    out = RECT{l, t, r, b};
    return 1;
}

int CIniFile::GetColorValue(const wchar_t* file, const wchar_t* section, wchar_t* key, COLORREF& out)
{
    wchar_t buffer[256];
    if (!ReadValue(file, section, key, buffer))
        return 0;
    int red = 0, green = 0, blue = 0;
    if (swscanf(buffer, L"%i,%i,%i", &red, &green, &blue) != 3)
        return 0;
    out = RGB(red, green, blue);
    return 1;
}
