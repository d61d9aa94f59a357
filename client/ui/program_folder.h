#pragma once
#include <string>

// The folder of the running program with its trailing backslash, computed
// once. Resource folders and vlconfig.xml lie below it.
const std::wstring& ProgramFolder();
// "Qnv_resource\" below the program folder.
std::wstring ResourceFolder();
