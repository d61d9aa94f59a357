#include "program_folder.h"

#include <windows.h>

namespace {

std::wstring FolderOfModule()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace

const std::wstring& ProgramFolder()
{
    static const std::wstring folder = FolderOfModule();
    return folder;
}

std::wstring ResourceFolder() { return ProgramFolder() + L"Qnv_resource\\"; }
