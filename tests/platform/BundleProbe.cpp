// A program laid out as an application bundle by the build. It finds its
// main bundle, reads the bundle keys from its Info.plist and prints them as
// key=value lines. It exits with 1 when it is not running from a bundle or
// its Info.plist does not describe it, so that the test reading its output
// also learns why.
#include <cstdio>
#include <string>

#include "platform/MainBundle.h"

namespace {

bool PrintKey(const char* key, std::string* value = nullptr) {
  std::string text;
  if (!zeft::platform::GetMainBundleInfoString(key, text)) {
    std::fprintf(stderr, "BundleProbe: Info.plist has no string \"%s\"\n", key);
    return false;
  }
  std::printf("%s=%s\n", key, text.c_str());
  if (value != nullptr) *value = text;
  return true;
}

}  // namespace

int main() {
  std::string executable = zeft::platform::GetExecutablePath();
  std::string bundle = zeft::platform::GetMainBundlePath();
  std::string infoPlist = zeft::platform::GetMainBundleInfoPlistPath();
  std::printf("executable=%s\nbundle=%s\ninfo-plist=%s\n", executable.c_str(), bundle.c_str(),
              infoPlist.c_str());

  bool ok = true;
  if (!bundle.ends_with(".app") || infoPlist.empty()) {
    std::fprintf(stderr, "BundleProbe: not running from an application bundle\n");
    ok = false;
  }
  std::string name;
  ok = PrintKey("CFBundleName", &name) && ok;
  ok = PrintKey("CFBundleShortVersionString") && ok;
  ok = PrintKey("CFBundleIdentifier") && ok;
  ok = PrintKey("ZeftProbeNote") && ok;
  std::string executableName;
  ok = PrintKey("CFBundleExecutable", &executableName) && ok;

  // The bundle must be the one that holds this very executable.
  if (executable != bundle + "/Contents/MacOS/" + executableName) {
    std::fprintf(stderr, "BundleProbe: CFBundleExecutable does not name this program\n");
    ok = false;
  }
  if (bundle.substr(bundle.rfind('/') + 1) != name + ".app") {
    std::fprintf(stderr, "BundleProbe: CFBundleName does not match the bundle folder\n");
    ok = false;
  }
  return ok ? 0 : 1;
}
