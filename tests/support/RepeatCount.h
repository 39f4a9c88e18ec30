// The "--zeft-full-counts" flag of the test programs. The longest loops
// (randomised kill runs, soak traces) repeat a bounded number of times by
// default, which keeps the CI run within its budget, and their full number
// under the flag, which the ci-full preset (scripts/test-full) passes.
#pragma once

namespace zeft::test {

// Removes every "--zeft-full-counts" argument from argv and remembers
// whether one was given.
void ParseFullCountsFlag(int& argc, char** argv);

// `full` when the flag was given, `bounded` otherwise.
int RepeatCount(int full, int bounded);

}  // namespace zeft::test
