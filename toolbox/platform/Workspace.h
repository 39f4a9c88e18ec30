// The desktop's view of items: whether a folder is a package (shown as one
// item) and showing an item in the file manager.
#pragma once

#include <string>

namespace zeft::platform {

// Whether `path` (links followed) is a folder holding Contents/Info.plist
// as a regular file: an application bundle or another package.
bool IsPackage(const std::string& path);

// Shows the item at `path` by opening its folder in the desktop's file
// manager (xdg-open, started in the background). 0 when it was handed over;
// ENOTSUP when there is no desktop (DISPLAY unset), and nothing is done;
// ENOENT when the item or xdg-open is missing; else the errno of starting it.
int RevealItem(const std::string& path);

}  // namespace zeft::platform
