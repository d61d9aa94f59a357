#pragma once
#include <string>

// UTF-8 <-> UTF-16 at the Win32 boundary.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// The system ANSI code page, for files that installed copies rely on.
std::string AnsiFromWide(const std::wstring& wide);
std::wstring WideFromAnsi(const std::string& ansi);
