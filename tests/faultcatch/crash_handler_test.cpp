// Crashes of a program that loaded the handler, started from another
// working directory than the program's own folder.
//
// Most cases raise an exception of the probe's own code, which every loader
// reports unchanged. The null write is the crash the client would really
// have, but its code depends on the loader (an emulated 32-bit one reports
// an illegal instruction), so that case compares against what was reported.
#include <gtest/gtest.h>

#include <filesystem>

#include "crash_probe_modes.h"
#include "crash_sandbox.h"
#include "minidump_reader.h"
#include "win32kit/scoped_win.h"

namespace {

using win32kit::ScopedHandle;

class CrashHandlerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sandbox_.IsReady()) << "cannot lay out the sandbox"; }

    CrashSandbox::ProbeRun Crash(const char* mode)
    {
        const CrashSandbox::ProbeRun run = sandbox_.RunProbe(mode);
        EXPECT_TRUE(run.ended) << "probe did not end in time";
        return run;
    }

    std::optional<DumpedException> DumpedExceptionOfLastCrash()
    {
        const auto dump = ReadWholeFile(sandbox_.DumpPath());
        if (!dump) {
            ADD_FAILURE() << "no Crash.dmp in the program folder";
            return std::nullopt;
        }
        EXPECT_TRUE(HasMinidumpSignature(*dump));
        return FindDumpedException(*dump);
    }

    CrashSandbox sandbox_;
};

// The handler ends the process with the exception's own code: no error
// dialog, no debugger.
TEST_F(CrashHandlerTest, DumpLandsBesideProgramAndUploaderStartsFromProgramFolder)
{
    ASSERT_TRUE(sandbox_.PlaceUploaderAndDecoy());
    const auto run = Crash(kProbeModeRaise);
    EXPECT_EQ(run.exitCode, kProbeExceptionCode);

    const auto exception = DumpedExceptionOfLastCrash();
    ASSERT_TRUE(exception) << "dump has no exception stream";
    EXPECT_EQ(exception->code, kProbeExceptionCode);
    EXPECT_EQ(exception->threadId, run.threadId);

    EXPECT_FALSE(std::filesystem::exists(sandbox_.WorkDir() / L"Crash.dmp"));
    EXPECT_TRUE(sandbox_.WaitForUploaderMarker()) << "Reportling.exe was not started";
    // Whatever lies in the working directory under that name must not run.
    EXPECT_FALSE(std::filesystem::exists(sandbox_.DecoyMarkerPath())) << "the decoy ran";
}

// Asking for the handler to run is what spares the user the system's crash
// dialog; an exit code cannot tell that apart under every loader, so the
// probe calls the filter itself and reports its verdict.
TEST_F(CrashHandlerTest, FilterAsksForHandlerToRun)
{
    ASSERT_TRUE(sandbox_.PlaceUploaderAndDecoy());
    const auto run = Crash(kProbeModeCallFilter);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(EXCEPTION_EXECUTE_HANDLER));

    const auto exception = DumpedExceptionOfLastCrash();
    ASSERT_TRUE(exception);
    EXPECT_EQ(exception->code, kProbeExceptionCode);
    EXPECT_TRUE(sandbox_.WaitForUploaderMarker()) << "Reportling.exe was not started";
}

TEST_F(CrashHandlerTest, AccessViolationIsDumpedAndSecondCrashOverwritesTheDump)
{
    const auto first = Crash(kProbeModeAccess);
    EXPECT_GE(first.exitCode, 0xC0000000u) << std::hex << "exit code 0x" << first.exitCode;
    const auto firstException = DumpedExceptionOfLastCrash();
    ASSERT_TRUE(firstException) << "first dump has no exception stream";
    EXPECT_EQ(firstException->code, first.exitCode);
    EXPECT_EQ(firstException->threadId, first.threadId);
    ASSERT_NE(firstException->code, kProbeExceptionCode);

    const auto second = Crash(kProbeModeRaise);
    EXPECT_EQ(second.exitCode, kProbeExceptionCode);
    const auto secondException = DumpedExceptionOfLastCrash();
    ASSERT_TRUE(secondException) << "second dump has no exception stream";
    EXPECT_EQ(secondException->code, kProbeExceptionCode);
    EXPECT_EQ(secondException->threadId, second.threadId);
}

// The crashing thread has no stack left to write a dump with.
TEST_F(CrashHandlerTest, StackOverflowIsDumpedAndStartsUploader)
{
    ASSERT_TRUE(sandbox_.PlaceUploaderAndDecoy());
    const auto run = Crash(kProbeModeStackOverflow);
    EXPECT_GE(run.exitCode, 0xC0000000u) << std::hex << "exit code 0x" << run.exitCode;
    const auto exception = DumpedExceptionOfLastCrash();
    ASSERT_TRUE(exception) << "dump has no exception stream";
    EXPECT_EQ(exception->code, run.exitCode);
    EXPECT_EQ(exception->threadId, run.threadId);
    EXPECT_TRUE(sandbox_.WaitForUploaderMarker()) << "Reportling.exe was not started";
}

// A handler of the program's own, added after the library's, may still take
// an overflow; the library must not have ended the process before it runs.
TEST_F(CrashHandlerTest, OverflowTakenByALaterHandlerLeavesNoDump)
{
    ASSERT_TRUE(sandbox_.PlaceUploaderAndDecoy());
    const auto run = Crash(kProbeModeCaughtOverflow);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(kProbeCaught)) << std::hex << "exit code 0x" << run.exitCode;
    EXPECT_FALSE(std::filesystem::exists(sandbox_.DumpPath()));
    EXPECT_FALSE(std::filesystem::exists(sandbox_.MarkerPath())) << "the uploader ran";
}

// A new thread cannot start while the crashing one holds the loader's lock,
// so the writer never runs; the uploader must start all the same, and soon:
// well before the writer's own deadline of a minute.
TEST_F(CrashHandlerTest, CrashUnderTheLoaderLockStillStartsUploaderSoon)
{
    ASSERT_TRUE(sandbox_.PlaceUploaderAndDecoy());
    const auto run = Crash(kProbeModeLoaderLock);
    ASSERT_NE(run.exitCode, static_cast<DWORD>(kProbeNoLoaderLock));
    EXPECT_EQ(run.exitCode, kProbeExceptionCode) << std::hex << "exit code 0x" << run.exitCode;
    EXPECT_LT(run.elapsedMs, 30000u);
    EXPECT_TRUE(sandbox_.WaitForUploaderMarker()) << "Reportling.exe was not started";
    const auto exception = DumpedExceptionOfLastCrash();
    ASSERT_TRUE(exception) << "dump has no exception stream";
    EXPECT_EQ(exception->code, kProbeExceptionCode);
}

TEST_F(CrashHandlerTest, UploaderStillStartsWhenDumpFileIsInUse)
{
    ASSERT_TRUE(sandbox_.PlaceUploaderAndDecoy());
    constexpr char kHeld[] = "held";
    {
        ScopedHandle held(CreateFileW(
            sandbox_.DumpPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held.IsValid());
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(held.Get(), kHeld, sizeof(kHeld) - 1, &written, nullptr));

        const auto run = Crash(kProbeModeRaise);
        EXPECT_EQ(run.exitCode, kProbeExceptionCode);
        EXPECT_TRUE(sandbox_.WaitForUploaderMarker()) << "Reportling.exe was not started";
    }
    const auto content = ReadWholeFile(sandbox_.DumpPath());
    ASSERT_TRUE(content);
    EXPECT_EQ(*content, kHeld);
}

TEST_F(CrashHandlerTest, ProcessStillEndsWhenUploaderIsMissing)
{
    const auto run = Crash(kProbeModeRaise);
    EXPECT_EQ(run.exitCode, kProbeExceptionCode);
    const auto exception = DumpedExceptionOfLastCrash();
    ASSERT_TRUE(exception);
    EXPECT_EQ(exception->code, kProbeExceptionCode);
    EXPECT_FALSE(std::filesystem::exists(sandbox_.MarkerPath()));
}

}  // namespace
