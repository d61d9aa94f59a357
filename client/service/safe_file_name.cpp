#include "safe_file_name.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Long enough for any real name, short enough that folder + name + a
// download's temporary suffix stays within the Windows path limit.
const std::size_t kLongestPlain = 120;
const std::size_t kKeptPrefix = 80;
const std::size_t kLongestExtension = 10;

struct ByteTable {
    bool unsafe[256];
};

constexpr ByteTable MakeUnsafeTable()
{
    ByteTable table{};
    for (int c = 0; c < 0x20; ++c)
        table.unsafe[c] = true;
    table.unsafe[0x7f] = true;
    for (unsigned char c : {'"', '*', '/', ':', '<', '>', '?', '\\', '|', '%'})
        table.unsafe[c] = true;
    // Windows ignores case in file names: "P.jpg" would be "p.jpg".
    for (int c = 'A'; c <= 'Z'; ++c)
        table.unsafe[c] = true;
    return table;
}

constexpr ByteTable kBytes = MakeUnsafeTable();

bool IsUnsafeByte(unsigned char c) { return kBytes.unsafe[c]; }

// Letters beyond ASCII that a file system ignoring case may take for
// another letter: every upper-case one, and the few lower-case ones that
// share an upper case with a second. Exact for Latin-1 and Latin
// Extended-A and the pinyin vowels (so lower-case names such as pinyin ones
// stay as they are); elsewhere whole blocks with letters of both cases,
// both cases escaped.
struct CasedRange {
    std::uint32_t first;
    std::uint32_t last;
    std::uint32_t step;
};

constexpr CasedRange kCasedRanges[] = {
    {0x00B5, 0x00B5, 1},
    {0x00C0, 0x00D6, 1},
    {0x00D8, 0x00DE, 1},
    {0x0100, 0x012E, 2},
    {0x0130, 0x0132, 1},
    {0x0134, 0x0136, 2},
    {0x0139, 0x0147, 2},
    {0x014A, 0x0178, 2},
    {0x0179, 0x017F, 2},
    {0x0180, 0x01CC, 1},
    {0x01CD, 0x01DB, 2},
    {0x01DD, 0x02AF, 1},
    {0x0345, 0x0587, 1},
    {0x10A0, 0x10FF, 1},
    {0x13A0, 0x13FD, 1},
    {0x1C80, 0x1CBF, 1},
    {0x1D79, 0x1FFC, 1},
    {0x2126, 0x2184, 1},
    {0x24B6, 0x24E9, 1},
    {0x2C00, 0x2D2D, 1},
    {0xA640, 0xA69B, 1},
    {0xA722, 0xA7F6, 1},
    {0xAB53, 0xABBF, 1},
    {0xFB00, 0xFB17, 1},
    {0xFF21, 0xFF5A, 1},
    {0x10400, 0x105BC, 1},
    {0x10C80, 0x10CF2, 1},
    {0x118A0, 0x118DF, 1},
    {0x16E40, 0x16E7F, 1},
    {0x1E900, 0x1E943, 1},
};

bool FoldsWithAnother(std::uint32_t code)
{
    for (const CasedRange& range : kCasedRanges) {
        if (code < range.first)
            return false;  // ranges are in order
        if (code <= range.last)
            return (code - range.first) % range.step == 0;
    }
    return false;
}

// Length of the well-formed UTF-8 sequence at `at`, or 0 when it is broken;
// `code` receives its code point.
std::size_t Utf8Length(std::string_view text, std::size_t at, std::uint32_t& code)
{
    unsigned char c = static_cast<unsigned char>(text[at]);
    code = c;
    if (c < 0x80)
        return 1;
    std::size_t length;
    std::uint32_t lowest;
    if ((c & 0xe0) == 0xc0) {
        length = 2, code = c & 0x1f, lowest = 0x80;
    } else if ((c & 0xf0) == 0xe0) {
        length = 3, code = c & 0x0f, lowest = 0x800;
    } else if ((c & 0xf8) == 0xf0) {
        length = 4, code = c & 0x07, lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3f);
    }
    bool surrogate = code >= 0xd800 && code <= 0xdfff;
    return code < lowest || code > 0x10ffff || surrogate ? 0 : length;
}

std::size_t Utf8Length(std::string_view text, std::size_t at)
{
    std::uint32_t code;
    return Utf8Length(text, at, code);
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view text, std::string_view upper)
{
    if (text.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (UpperAscii(text[i]) != upper[i])
            return false;
    }
    return true;
}

// Windows opens a device for these names, with any extension, and ignores
// spaces before the extension.
bool IsReservedDeviceName(std::string_view name)
{
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (EqualsIgnoringCase(stem, device))
            return true;
    }
    if (stem.size() < 4)
        return false;
    std::string_view prefix = stem.substr(0, 3);
    if (!EqualsIgnoringCase(prefix, "COM") && !EqualsIgnoringCase(prefix, "LPT"))
        return false;
    std::string_view number = stem.substr(3);
    bool digit = number.size() == 1 && number[0] >= '0' && number[0] <= '9';
    // Superscript one, two and three count as digits there too.
    bool superscript = number == "\xc2\xb9" || number == "\xc2\xb2" || number == "\xc2\xb3";
    return digit || superscript;
}

// Which bytes of `name` must be escaped; empty when none.
std::vector<bool> BytesToEscape(std::string_view name)
{
    std::vector<bool> escape(name.size(), false);
    bool any = false;
    for (std::size_t at = 0; at < name.size();) {
        std::uint32_t code;
        std::size_t length = Utf8Length(name, at, code);
        if (length == 0 || (length == 1 && IsUnsafeByte(static_cast<unsigned char>(name[at])))) {
            escape[at] = any = true;
            ++at;
            continue;
        }
        if (length > 1 && FoldsWithAnother(code)) {
            std::fill_n(escape.begin() + at, length, true);
            any = true;
        }
        at += length;
    }
    char last = name.back();
    if (last == '.' || last == ' ')
        escape[name.size() - 1] = any = true;
    if (IsReservedDeviceName(name))
        escape[0] = any = true;
    return any ? escape : std::vector<bool>();
}

std::string Escape(std::string_view name, const std::vector<bool>& escape)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size() * 3);
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (!escape[i]) {
            out += char(c);
            continue;
        }
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

std::uint64_t Fnv1a(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// Where to cut so neither an escape nor a UTF-8 sequence is split.
std::size_t SafeCut(std::string_view text, std::size_t limit)
{
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t step = text[at] == '%' ? 3 : Utf8Length(text, at);
        if (step == 0)
            step = 1;
        if (at + step > limit)
            break;
        at += step;
    }
    return at;
}

std::string Shortened(std::string_view original, const std::string& escaped)
{
    static const char kHex[] = "0123456789abcdef";
    std::string_view extension;
    std::size_t dot = escaped.rfind('.');
    if (dot != std::string::npos && escaped.size() - dot <= kLongestExtension)
        extension = std::string_view(escaped).substr(dot);
    std::string out = escaped.substr(0, SafeCut(escaped, kKeptPrefix));
    out += "%~";
    std::uint64_t hash = Fnv1a(original);
    for (int shift = 60; shift >= 0; shift -= 4)
        out += kHex[(hash >> shift) & 15];
    out.append(extension.data(), extension.size());
    return out;
}

// The device test on name + suffix, judged as one name. Every device name
// is at most seven bytes before its dot (trailing spaces aside), so a
// longer stem is settled without copying it.
bool StemIsDevice(std::string_view name, std::string_view suffix)
{
    std::size_t dot = name.find('.');
    std::string_view first = dot == std::string_view::npos ? name : name.substr(0, dot);
    std::string_view second;
    if (dot == std::string_view::npos)
        second = suffix.substr(0, std::min(suffix.find('.'), suffix.size()));
    char last = !second.empty() ? second.back() : !first.empty() ? first.back() : '\0';
    if (first.size() + second.size() > 7 && last != ' ')
        return false;
    std::string stem(first);
    stem.append(second.data(), second.size());
    return IsReservedDeviceName(stem);
}

// The common case, checked without allocating: every byte safe, the UTF-8
// whole, no trailing dot or space, no device name, not too long.
bool IsPlain(std::string_view name, std::string_view suffix)
{
    const std::size_t total = name.size() + suffix.size();
    if (total == 0 || total > kLongestPlain)
        return false;
    for (std::string_view part : {name, suffix}) {
        for (std::size_t at = 0; at < part.size();) {
            unsigned char c = static_cast<unsigned char>(part[at]);
            if (c < 0x80) {
                if (kBytes.unsafe[c])
                    return false;
                ++at;
                continue;
            }
            std::uint32_t code;
            std::size_t length = Utf8Length(part, at, code);
            if (length == 0 || FoldsWithAnother(code))
                return false;
            at += length;
        }
    }
    char last = suffix.empty() ? name.back() : suffix.back();
    if (last == '.' || last == ' ')
        return false;
    return !StemIsDevice(name, suffix);
}

}  // namespace

void AppendSafeFileName(std::string& out, std::string_view name, std::string_view suffix)
{
    if (IsPlain(name, suffix)) {
        out.append(name.data(), name.size());
        out.append(suffix.data(), suffix.size());
        return;
    }
    std::string joined(name);
    joined.append(suffix.data(), suffix.size());
    out += SafeFileName(joined);
}

std::string SafeFileName(std::string_view name)
{
    // A lone "%" is no escaped form of any name, so it cannot collide.
    if (name.empty())
        return "%";
    if (IsPlain(name, {}))
        return std::string(name);
    std::vector<bool> escape = BytesToEscape(name);
    std::string out = escape.empty() ? std::string(name) : Escape(name, escape);
    if (out.size() > kLongestPlain)
        return Shortened(name, out);
    return out;
}
