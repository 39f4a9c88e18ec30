// The main bundle stands in for the application bundle of the running
// program: the nearest ancestor folder of the executable whose name ends in
// ".app" and that holds Contents/Info.plist, else the executable's folder.
// Callable before the memory manager exists: nothing here allocates through
// the toolbox.
#pragma once

#include <string>

namespace zeft::platform {

// Absolute path of the running executable ("" when /proc cannot tell).
std::string GetExecutablePath();

// Main bundle folder, without a trailing slash. Located once, then cached.
std::string GetMainBundlePath();

// <bundle>/Contents/Info.plist when that file exists, else "".
std::string GetMainBundleInfoPlistPath();

// The string value of `key` in the main bundle's Info.plist. False when
// there is no Info.plist, it cannot be read, its root is not a dictionary,
// or the key is absent or not a string.
bool GetMainBundleInfoString(const char* key, std::string& out);

// The file name that the Info.plist of the bundle at `bundlePath` gives its
// executable in Contents/MacOS ("CFBundleExecutable"). "" when there is
// none: `error` then says why the Info.plist could not be read, or stays
// empty when it names no plain file name (the key absent, not a string,
// empty, holding '/', "." or "..": the code stays inside the bundle).
std::string GetBundleExecutableName(const std::string& bundlePath, std::string& error);

// Makes every call above answer for the bundle at `path` instead of the
// real one; "" goes back to the real one.
void SetMainBundlePathForTesting(const std::string& path);

// The locating rule applied to any executable path: what GetMainBundlePath
// answers when `executablePath` is the running program.
std::string LocateMainBundle(const std::string& executablePath);

}  // namespace zeft::platform
