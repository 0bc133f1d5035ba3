#pragma once

#include <string>
#include <string_view>

// Every derived file name (the .log beside a .flt, the files of an export) is
// made this way: in the last path component the text from its last "." on is
// dropped, if there is one, and newExtension (with its dot) is appended.
// A dot in a directory name is not an extension: "/a.b/c" gives "/a.b/c.log".
// The rule is literal, so ".profile" gives ".log" and "" gives ".log".
std::string replaceExtension(std::string_view path, std::string_view newExtension);
