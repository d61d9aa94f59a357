#pragma once
#include <string>
#include <string_view>

// Makes one file-name component out of text the service supplies (display
// names, the file part of picture addresses), so it can never leave its
// folder or name a device.
//
// A plain name (no upper-case letter among them) comes back unchanged. Any
// other name is escaped: every byte that is unsafe in a file name, every
// byte of broken UTF-8, every "%" and every byte of a letter that a file
// system ignoring case could take for another (all upper-case letters) is
// written as "%XX", with upper-case hex digits; a trailing dot or space and
// the first letter of a reserved device name (CON, NUL, COM1...) are
// escaped too. Since a plain name holds no "%" and escaping can be undone,
// two different names never give the same file, on Windows neither:
// "Lina" and "lina" stay apart. Names too long for a path are cut and given
// a hash ("%~" and 16 hex digits), keeping a short extension.
std::string SafeFileName(std::string_view name);

// Appends the safe form of `name` + `suffix` (judged as one name) to `out`;
// builds paths without temporaries.
void AppendSafeFileName(std::string& out, std::string_view name, std::string_view suffix = {});
