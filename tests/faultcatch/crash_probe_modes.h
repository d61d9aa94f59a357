#pragma once

#include <windows.h>

// How the crash probe program faults; the first argument picks one.
inline constexpr char kProbeModeAccess[] = "access";  // writes to a page it may not touch
inline constexpr char kProbeModeRaise[] = "raise";  // raises kProbeExceptionCode
inline constexpr char kProbeModeStackOverflow[] = "overflow";  // recurses until the stack runs out
// Overflows with a vectored handler of its own added after the library's,
// which takes the fault and ends the probe with kProbeCaught.
inline constexpr char kProbeModeCaughtOverflow[] = "caught-overflow";
// Raises kProbeExceptionCode while holding the loader's lock, as code run
// by the loader (an entry point, a module callback) would.
inline constexpr char kProbeModeLoaderLock[] = "loader-lock";
// Does not fault: hands a made-up kProbeExceptionCode exception to the
// installed filter and exits with the filter's verdict.
inline constexpr char kProbeModeCallFilter[] = "call-filter";

inline constexpr DWORD kProbeExceptionCode = 0xE0FC0001;

// Exit codes of a probe that did not crash as asked.
inline constexpr int kProbeLoadFailed = 2;
inline constexpr int kProbeSurvived = 3;
inline constexpr int kProbeNoFilter = 4;
inline constexpr int kProbeCaught = 5;
inline constexpr int kProbeNoLoaderLock = 6;

// File the stand-in uploader writes beside its own program file, so a test
// can tell which copy ran.
inline constexpr wchar_t kUploaderMarkerName[] = L"Reportling.ran";
inline constexpr char kUploaderMarkerText[] = "ran";
