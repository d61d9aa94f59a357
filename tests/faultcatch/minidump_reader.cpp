#include "minidump_reader.h"

#include <dbghelp.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// Copies a record out of the file, refusing anything past its end.
template <typename Record> bool ReadRecord(const std::string& bytes, size_t offset, Record& record)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof(Record))
        return false;
    std::memcpy(&record, bytes.data() + offset, sizeof(Record));
    return true;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool HasMinidumpSignature(const std::string& bytes) { return bytes.compare(0, 4, "MDMP") == 0; }

std::optional<DumpedException> FindDumpedException(const std::string& bytes)
{
    MINIDUMP_HEADER header{};
    if (!HasMinidumpSignature(bytes) || !ReadRecord(bytes, 0, header))
        return std::nullopt;
    for (ULONG32 i = 0; i < header.NumberOfStreams; ++i) {
        MINIDUMP_DIRECTORY entry{};
        const size_t entryOffset = header.StreamDirectoryRva + size_t{i} * sizeof(entry);
        if (!ReadRecord(bytes, entryOffset, entry))
            return std::nullopt;
        if (entry.StreamType != ExceptionStream)
            continue;
        MINIDUMP_EXCEPTION_STREAM stream{};
        if (entry.Location.DataSize < sizeof(stream) || !ReadRecord(bytes, entry.Location.Rva, stream)) {
            return std::nullopt;
        }
        return DumpedException{stream.ThreadId, stream.ExceptionRecord.ExceptionCode};
    }
    return std::nullopt;
}
