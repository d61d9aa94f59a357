#pragma once
#include <string_view>

// Whether `address` is an absolute http:// or https:// URL with a host: the
// only kind of address the client fetches pictures and avatars from. The
// scheme may be in any case. A space, a control character or a backslash
// anywhere, a port that is not a number up to 65535, or a host with
// characters no host name has, and it is no such address.
bool IsWebAddress(std::string_view address);
