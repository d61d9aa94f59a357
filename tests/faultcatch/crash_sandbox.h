#pragma once

#include <windows.h>

#include <filesystem>

// A throw-away program folder holding the crash probe and the handler, next
// to a separate working directory to start the probe from. Removed again on
// destruction.
class CrashSandbox {
public:
    struct ProbeRun {
        bool ended = false;  // false: still running at the deadline and killed
        DWORD exitCode = 0;
        DWORD threadId = 0;  // the probe's main thread, which is the one that faults
        DWORD elapsedMs = 0;  // from its start until it ended
    };

    CrashSandbox();
    ~CrashSandbox();
    CrashSandbox(const CrashSandbox&) = delete;
    CrashSandbox& operator=(const CrashSandbox&) = delete;

    bool IsReady() const { return ready_; }
    const std::filesystem::path& ProgramDir() const { return programDir_; }
    const std::filesystem::path& WorkDir() const { return workDir_; }
    std::filesystem::path DumpPath() const;
    // Where the uploader in the program folder, and the decoy of the same
    // name in the working directory, leave their markers.
    std::filesystem::path MarkerPath() const;
    std::filesystem::path DecoyMarkerPath() const;

    bool PlaceUploaderAndDecoy() const;
    ProbeRun RunProbe(const char* mode) const;
    // Bounded, so an uploader that never starts fails the test instead of hanging it.
    bool WaitForUploaderMarker() const;

private:
    bool LayOut();

    std::filesystem::path root_;
    std::filesystem::path programDir_;
    std::filesystem::path workDir_;
    bool ready_ = false;
};
