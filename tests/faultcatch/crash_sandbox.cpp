#include "crash_sandbox.h"

#include <string>
#include <system_error>

#include "crash_probe_modes.h"
#include "minidump_reader.h"
#include "win32kit/scoped_win.h"

namespace fs = std::filesystem;
using win32kit::ScopedHandle;

namespace {

constexpr wchar_t kProbeName[] = L"faultcatch_crash_probe.exe";
constexpr wchar_t kLibraryName[] = L"faultcatch.dll";
constexpr wchar_t kUploaderName[] = L"Reportling.exe";
constexpr DWORD kProbeDeadlineMs = 120000;
constexpr DWORD kMarkerDeadlineMs = 60000;
constexpr DWORD kPollMs = 50;

// The build puts the probe, the stand-in uploader and a copy of the library
// beside the test program.
fs::path BuildOutputDir()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return fs::path(path).parent_path();
}

bool CopyFromBuild(const wchar_t* name, const fs::path& folder)
{
    std::error_code error;
    fs::copy_file(BuildOutputDir() / name, folder / name, fs::copy_options::overwrite_existing, error);
    return !error;
}

// A fresh folder below the temporary folder, unique to this process and call.
fs::path CreateUniqueRoot()
{
    std::error_code error;
    const fs::path temp = fs::temp_directory_path(error);
    if (error)
        return {};
    const std::wstring stem = L"faultcatch-test-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path candidate = temp / (stem + std::to_wstring(attempt));
        if (fs::create_directory(candidate, error))
            return candidate;
    }
    return {};
}

}  // namespace

CrashSandbox::CrashSandbox() { ready_ = LayOut(); }

CrashSandbox::~CrashSandbox()
{
    if (root_.empty())
        return;
    // The stand-in uploader may still be on its way out and hold its file.
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::error_code error;
        fs::remove_all(root_, error);
        if (!error)
            return;
        Sleep(100);
    }
}

bool CrashSandbox::LayOut()
{
    root_ = CreateUniqueRoot();
    if (root_.empty())
        return false;
    programDir_ = root_ / L"program";
    workDir_ = root_ / L"work";
    std::error_code error;
    if (!fs::create_directory(programDir_, error) || !fs::create_directory(workDir_, error)) {
        return false;
    }
    return CopyFromBuild(kProbeName, programDir_) && CopyFromBuild(kLibraryName, programDir_);
}

fs::path CrashSandbox::DumpPath() const { return programDir_ / L"Crash.dmp"; }

fs::path CrashSandbox::MarkerPath() const { return programDir_ / kUploaderMarkerName; }

fs::path CrashSandbox::DecoyMarkerPath() const { return workDir_ / kUploaderMarkerName; }

bool CrashSandbox::PlaceUploaderAndDecoy() const
{
    return CopyFromBuild(kUploaderName, programDir_) && CopyFromBuild(kUploaderName, workDir_);
}

CrashSandbox::ProbeRun CrashSandbox::RunProbe(const char* mode) const
{
    std::wstring commandLine = L"\"" + (programDir_ / kProbeName).wstring() + L"\" ";
    for (const char* c = mode; *c != '\0'; ++c)
        commandLine += static_cast<wchar_t>(*c);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(
            nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir_.c_str(), &startup, &process)) {
        return {};
    }
    ScopedHandle thread(process.hThread);
    ScopedHandle child(process.hProcess);

    ProbeRun run;
    run.threadId = process.dwThreadId;
    const DWORD started = GetTickCount();
    if (WaitForSingleObject(child.Get(), kProbeDeadlineMs) != WAIT_OBJECT_0) {
        TerminateProcess(child.Get(), 1);
        WaitForSingleObject(child.Get(), kProbeDeadlineMs);
        return run;
    }
    run.elapsedMs = GetTickCount() - started;
    run.ended = GetExitCodeProcess(child.Get(), &run.exitCode) != FALSE;
    return run;
}

bool CrashSandbox::WaitForUploaderMarker() const
{
    for (DWORD waited = 0; waited < kMarkerDeadlineMs; waited += kPollMs) {
        const auto text = ReadWholeFile(MarkerPath());
        if (text && *text == kUploaderMarkerText)
            return true;
        Sleep(kPollMs);
    }
    return false;
}
