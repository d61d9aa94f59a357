#include "updater_start.h"

#include "program_folder.h"

#include <shellapi.h>

#include <string>

namespace {

void ReportStartFailure(DWORD error)
{
    wchar_t caption[33];
    swprintf(caption, 33, L"执行错误码:%d", int(error));
    MessageBoxW(nullptr, L"升级提示", caption, MB_OK);
}

}  // namespace

win32kit::ScopedHandle OpenSelfForUpdater()
{
    // The updater inherits this handle to end the program before replacing it.
    return win32kit::ScopedHandle(OpenProcess(PROCESS_TERMINATE, TRUE, GetCurrentProcessId()));
}

std::wstring UpdaterParameters(HANDLE self, bool manual)
{
    std::wstring parameters = L"-hdl " + std::to_wstring(reinterpret_cast<UINT_PTR>(self));
    if (manual)
        parameters += L" -man ";
    return parameters;
}

win32kit::ScopedHandle StartUpdater(bool manual)
{
    win32kit::ScopedHandle self = OpenSelfForUpdater();
    const std::wstring program = ProgramFolder() + L"Patchling.exe";
    const std::wstring parameters = UpdaterParameters(self.Get(), manual);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        ReportStartFailure(GetLastError());
        return win32kit::ScopedHandle(nullptr);
    }
    return win32kit::ScopedHandle(info.hProcess);
}
