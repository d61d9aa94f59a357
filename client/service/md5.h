#pragma once
#include <string>
#include <string_view>

// MD5 digest (RFC 1321) of the bytes, as 32 lowercase hexadecimal digits.
// Passwords travel and are stored only in this form.
std::string Md5Hex(std::string_view bytes);
