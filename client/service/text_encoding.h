#pragma once
#include <string>
#include <string_view>

// User text (comments, tags, search words, login name) travels as UTF-8 with
// every byte outside the unreserved set written as %XX, so "&", "#", "%" or a
// space can never end a parameter early or add one.
std::string PercentEncodeText(std::string_view utf8);

// The feedback page takes the nickname with every byte that is not an ASCII
// letter or digit escaped, "_" and "." included; the page decodes it that way.
std::string EncodeFeedbackNickname(std::string_view utf8);
