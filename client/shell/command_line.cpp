#include "command_line.h"

#include <cwchar>

bool IsReplaceMode(const wchar_t* arguments) { return arguments && std::wcscmp(arguments, L"update_vor_lane") == 0; }

bool IsAutoRunStart(const wchar_t* fullCommandLine)
{
    return fullCommandLine && std::wcsstr(fullCommandLine, L"-autorun") != nullptr;
}
