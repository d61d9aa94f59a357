#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

// The exception a minidump records: the faulting thread and its code.
struct DumpedException {
    DWORD threadId = 0;
    DWORD code = 0;
};

// Whole file as bytes; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

bool HasMinidumpSignature(const std::string& bytes);

// Walks the stream directory to the exception stream; nullopt when the dump
// is malformed or has none.
std::optional<DumpedException> FindDumpedException(const std::string& bytes);
