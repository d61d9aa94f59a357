#pragma once

#include <windows.h>

#include "skinkit/skinkit_api.h"

// Typed readers over the system profile functions. Each reader returns
// nonzero only when the key exists, is not empty and parses completely; on 0
// the output is left untouched so a control keeps its previous value.
// Numbers use "%i": decimal, 0x hexadecimal and leading-zero octal.
class SKINKIT_API CIniFile {
public:
    static int GetKeyValue(const wchar_t* file, const wchar_t* section, wchar_t* key, wchar_t* out, DWORD size);
    static int SetKeyValue(const wchar_t* file, const wchar_t* section, wchar_t* key, wchar_t* value);
    static int GetIntValue(const wchar_t* file, const wchar_t* section, wchar_t* key, int& out);
    static int GetRectValue(const wchar_t* file, const wchar_t* section, wchar_t* key, RECT& out);
    static int GetColorValue(const wchar_t* file, const wchar_t* section, wchar_t* key, COLORREF& out);
};
