#include "wide_text.h"

#include <windows.h>

namespace {

std::wstring ToWide(UINT codePage, const std::string& text)
{
    if (text.empty())
        return {};
    int length = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

std::string FromWide(UINT codePage, const std::wstring& wide)
{
    if (wide.empty())
        return {};
    int length = WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(length, '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

}  // namespace

std::wstring Widen(const std::string& utf8) { return ToWide(CP_UTF8, utf8); }
std::string Narrow(const std::wstring& wide) { return FromWide(CP_UTF8, wide); }
std::string AnsiFromWide(const std::wstring& wide) { return FromWide(CP_ACP, wide); }
std::wstring WideFromAnsi(const std::string& ansi) { return ToWide(CP_ACP, ansi); }
