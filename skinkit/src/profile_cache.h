#pragma once

#include <cstddef>
#include <string>

namespace skinkit {

// A skin file's values, read once while the file is unchanged. The system's
// profile reader opens and checks the file at every call, and a window's
// skin is hundreds of calls. Answers are the system's: sections and keys
// compared without case, blanks around names and values dropped, one pair of
// matching quotes around a value taken off, a key's first value in the
// first section of its name, cut to what a buffer of `size` characters
// would hold. False when the file is not one this reader
// knows to read as the system would (no full path, unreadable, or text in
// an 8-bit code page): the caller then asks the system.
bool CachedProfileString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
    std::size_t size, std::wstring& value);

// Drops what was read of file, after the program wrote to it.
void ForgetProfile(const std::wstring& file);

}  // namespace skinkit
