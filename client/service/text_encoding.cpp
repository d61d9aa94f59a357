#include "text_encoding.h"

namespace {

bool IsAsciiAlnum(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool IsUnreserved(unsigned char c) { return IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

template <typename KeepByte> std::string Escape(std::string_view bytes, KeepByte keep)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (unsigned char c : bytes) {
        if (keep(c)) {
            out += static_cast<char>(c);
            continue;
        }
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

}  // namespace

std::string PercentEncodeText(std::string_view utf8) { return Escape(utf8, IsUnreserved); }

std::string EncodeFeedbackNickname(std::string_view utf8) { return Escape(utf8, IsAsciiAlnum); }
