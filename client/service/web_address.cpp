#include "web_address.h"

#include <cstddef>

namespace {

constexpr std::size_t kMaxPortDigits = 5;
constexpr long kMaxPort = 65535;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameLetters(std::string_view text, std::string_view lowerCase)
{
    if (text.size() != lowerCase.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Lower(text[i]) != lowerCase[i])
            return false;
    }
    return true;
}

// Spaces and control characters end a URL for some readers and not for
// others; a backslash is a slash to some.
bool HasUnsafeCharacter(std::string_view address)
{
    for (char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '\\')
            return true;
    }
    return false;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Letters, digits and the characters a registered name or an IPv4 address
// may hold; percent-escapes pass as they are. A table: every picture address
// of every page goes through here.
struct HostCharacters {
    bool allowed[256] = {};
    HostCharacters()
    {
        for (int c = 0; c < 256; ++c)
            allowed[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(char(c));
        for (char c : std::string_view("-._~%!$&'()*+,;="))
            allowed[static_cast<unsigned char>(c)] = true;
    }
};

bool IsHostCharacter(char c)
{
    static const HostCharacters table;
    return table.allowed[static_cast<unsigned char>(c)];
}

// Where the authority ends: the first "/", "?" or "#".
std::size_t AuthorityEnd(std::string_view rest)
{
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '/' || rest[i] == '?' || rest[i] == '#')
            return i;
    }
    return rest.size();
}

bool IsPort(std::string_view port)
{
    if (port.empty() || port.size() > kMaxPortDigits)
        return false;
    long value = 0;
    for (char c : port) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= kMaxPort;
}

bool IsBracketedAddress(std::string_view host)
{
    if (host.size() < 3 || host.front() != '[' || host.back() != ']')
        return false;
    for (char c : host.substr(1, host.size() - 2)) {
        if (!IsDigit(c) && !(Lower(c) >= 'a' && Lower(c) <= 'f') && c != ':' && c != '.')
            return false;
    }
    return true;
}

bool IsNamedHost(std::string_view host)
{
    if (host.empty())
        return false;
    for (char c : host) {
        if (!IsHostCharacter(c))
            return false;
    }
    return true;
}

// "user@host:port", the part between "//" and the path.
bool IsAuthority(std::string_view authority)
{
    const std::size_t at = authority.rfind('@');
    std::string_view hostAndPort = at == std::string_view::npos ? authority : authority.substr(at + 1);
    const std::size_t bracket = hostAndPort.rfind(']');
    const std::size_t colon = hostAndPort.rfind(':');
    const bool hasPort = colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket);
    if (hasPort && !IsPort(hostAndPort.substr(colon + 1)))
        return false;
    const std::string_view host = hasPort ? hostAndPort.substr(0, colon) : hostAndPort;
    if (!host.empty() && host.front() == '[')
        return IsBracketedAddress(host);
    return IsNamedHost(host);
}

}  // namespace

bool IsWebAddress(std::string_view address)
{
    if (HasUnsafeCharacter(address))
        return false;
    const std::size_t separator = address.find("://");
    if (separator == std::string_view::npos)
        return false;
    const std::string_view scheme = address.substr(0, separator);
    if (!SameLetters(scheme, "http") && !SameLetters(scheme, "https"))
        return false;
    const std::string_view rest = address.substr(separator + 3);
    return IsAuthority(rest.substr(0, AuthorityEnd(rest)));
}
