#pragma once

#include <string>
#include <string_view>

// Writes the whole file at once: the contents go to a temporary file in the
// same directory, are flushed to the disk, and the temporary is renamed over
// path. A reader therefore sees either the old file or the complete new one,
// never a half-written file, even if the program or the machine stops midway.
//
// Returns false when the file cannot be created or written; the file at path,
// if there was one, is then left as it was and the temporary is removed.
// An existing file's permission bits are carried over to the new one. A path
// that is a symbolic link writes the file the link names (the temporary beside
// that file), and the link stays a link.
bool writeFileAtomically(const std::string& path, std::string_view contents);
