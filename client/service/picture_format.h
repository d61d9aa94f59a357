#pragma once
#include <string>

// Larger pictures are refused: no screen shows them, and decoding one would
// take the process's memory (a few bytes of header can claim 1.6 GB).
inline constexpr unsigned kMaxPictureSide = 16384;
inline constexpr unsigned long long kMaxPicturePixels = 24ull * 1024 * 1024;

// Whether the file holds a whole JPEG, PNG or GIF picture: its structure runs
// from the signature to the format's end marker (bytes after it are allowed),
// and its frame is within kMaxPictureSide and kMaxPicturePixels.
// A transfer without a Content-Length that the server cuts short ends just
// like a whole one; only the content can tell the two apart.
bool IsWholePicture(const std::string& path);
// The same for bytes already in memory.
bool IsWholePictureData(const std::string& bytes);
