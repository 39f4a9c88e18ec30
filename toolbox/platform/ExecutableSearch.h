// Finding a program by name as a shell does: along a ':'-separated list of
// folders, or at the path the name gives itself.
#pragma once

#include <string>

namespace zeft::platform {

// The full path of the program `name`: a name holding '/' is resolved
// against the current folder (links followed); any other is looked for in
// the folders of `searchPath`, in order (a '/' is put between a folder and
// the name when the folder does not end with one; an empty entry gives
// "/" and the name). Only a regular file whose execute bit applies to the
// process counts: the owner's when the effective user owns it, else the
// group's when it is the effective group's, else the others'. Paths over
// 1024 bytes are passed over. "" when none, or when `searchPath` is null
// or empty for a plain name.
std::string FindExecutable(const char* searchPath, const std::string& name);

}  // namespace zeft::platform
