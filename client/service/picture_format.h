#pragma once
#include <string>

// Whether the file holds a whole JPEG, PNG or GIF picture: its structure runs
// from the signature to the format's end marker (bytes after it are allowed).
// A transfer without a Content-Length that the server cuts short ends just
// like a whole one; only the content can tell the two apart.
bool IsWholePicture(const std::string& path);
