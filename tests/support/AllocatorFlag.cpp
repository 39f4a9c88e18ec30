#include "support/AllocatorFlag.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace zeft::test {

EAllocatorKind ParseAllocatorFlag(int& argc, char** argv, EAllocatorKind fallback) {
  constexpr std::string_view kFlag = "--zeft-allocator=";
  EAllocatorKind kind = fallback;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg.substr(0, kFlag.size()) != kFlag) {
      argv[kept++] = argv[i];
      continue;
    }
    const std::string_view value = arg.substr(kFlag.size());
    if (value == "system") {
      kind = kAllocatorSystem;
    } else if (value == "block") {
      kind = kAllocatorBlock;
    } else if (value == "bundle") {
      kind = kAllocatorFromBundle;
    } else {
      std::fprintf(stderr, "unknown allocator \"%.*s\" (system, block or bundle)\n",
                   int(value.size()), value.data());
      std::exit(2);
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return kind;
}

}  // namespace zeft::test
