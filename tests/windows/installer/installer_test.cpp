// The 32-bit installer under Wine: a silent install, the installed program
// started, a silent uninstall. QUARN_INSTALLER names the setup program.
#include <windows.h>
// The shell folders need the Windows types first.
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace {

const std::wstring kInstallDir = L"C:\\QuarnInstallTest";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }

// A host path (/work/...) as Wine's drive Z: sees it.
std::wstring InstallerPath()
{
    const char* path = getenv("QUARN_INSTALLER");
    if (!path)
        return {};
    std::wstring wide = Widen(path);
    if (!wide.empty() && wide[0] == L'/') {
        for (wchar_t& c : wide)
            c = c == L'/' ? L'\\' : c;
        wide = L"Z:" + wide;
    }
    return wide;
}

// The exit code, or -1 when it did not start or did not end in two minutes.
long RunProgram(const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return long(code);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ShellFolder(int id)
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

bool HasRunValue(HKEY root)
{
    return RegGetValueW(root, kRunKey, L"Vorlane", RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void SetRunValue(HKEY root)
{
    const wchar_t data[] = L"\"C:\\QuarnInstallTest\\Quarn.exe\" -autorun";
    RegSetKeyValueW(root, kRunKey, L"Vorlane", REG_SZ, data, sizeof data);
}

bool PollFor(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return true;
}

std::string ReadFile(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(Installer, InstallsStartsAndUninstallsKeepingTheUsersData)
{
    const std::wstring setup = InstallerPath();
    ASSERT_FALSE(setup.empty()) << "QUARN_INSTALLER is not set";
    const std::wstring menuEntry = ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Quarn\\Quarn.lnk";
    const std::wstring dataFolder = ShellFolder(CSIDL_APPDATA) + L"\\ostrel_quarn";
    const std::wstring userData = dataFolder + L"\\kept.txt";

    ASSERT_EQ(RunProgram(L"\"" + setup + L"\" /S /D=" + kInstallDir), 0);
    const wchar_t* installed[] = {L"Quarn.exe", L"skinkit.dll", L"faultcatch.dll", L"Patchling.exe", L"Reportling.exe",
        L"Uninstall.exe", L"vlconfig.xml", L"Qnv_resource\\image_resource.ini", L"Qnv_resource\\wizard\\page1.jpg",
        L"Ziv_resource\\image_resource.ini"};
    for (const wchar_t* file : installed)
        EXPECT_TRUE(Exists(kInstallDir + L"\\" + file))
            << "missing after install: " << std::string(file, file + wcslen(file));
    EXPECT_TRUE(Exists(menuEntry));
    const std::string config = ReadFile(kInstallDir + L"\\vlconfig.xml");
    EXPECT_NE(config.find("<login />"), std::string::npos) << config;

    // Replace mode loads the program and its libraries, runs and returns 1.
    EXPECT_EQ(RunProgram(L"\"" + kInstallDir + L"\\Quarn.exe\" update_vor_lane"), 1);

    SetRunValue(HKEY_LOCAL_MACHINE);
    SetRunValue(HKEY_CURRENT_USER);
    SHCreateDirectoryExW(nullptr, dataFolder.c_str(), nullptr);
    std::ofstream(userData.c_str()) << "the user's";

    // The uninstaller runs a copy of itself from the temporary folder and
    // returns at once; the copy removes the folder.
    ASSERT_EQ(RunProgram(L"\"" + kInstallDir + L"\\Uninstall.exe\" /S"), 0);
    EXPECT_TRUE(PollFor([] { return !Exists(kInstallDir); })) << "the program folder stayed";
    // The copy goes on after the folder: the menu entry may go a moment later.
    EXPECT_TRUE(PollFor([&] { return !Exists(menuEntry); })) << "the menu entry stayed";
    EXPECT_FALSE(HasRunValue(HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(HasRunValue(HKEY_CURRENT_USER));
    EXPECT_TRUE(Exists(userData));
    DeleteFileW(userData.c_str());
}
