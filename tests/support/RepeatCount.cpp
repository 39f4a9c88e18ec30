#include "support/RepeatCount.h"

#include <string_view>

namespace zeft::test {
namespace {

// Set once by the test main, before any test runs.
bool sFullCounts = false;

}  // namespace

void ParseFullCountsFlag(int& argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--zeft-full-counts") {
      sFullCounts = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
}

int RepeatCount(int full, int bounded) { return sFullCounts ? full : bounded; }

}  // namespace zeft::test
