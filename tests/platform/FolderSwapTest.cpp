#include "platform/FolderSwap.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/DirectoryWalk.h"

namespace zeft::platform {
namespace {

TEST(FolderSwap, TemporaryNamesAreRecognisedByTheWholeItemName) {
  const std::string longName = std::string(220, 'n') + "-mine.app";
  const std::string longOther = std::string(220, 'n') + "-theirs.app";
  const std::string accented = std::string(182, 'n') + "\xC3\xA9" + std::string(40, 'x');
  for (const std::string& name : {std::string("Demo.app"), std::string(200, 'd'), longName,
                                  std::string(255, 'z'), accented}) {
    const std::string made = TemporaryItemName(name);
    EXPECT_LE(made.size(), 255u) << name;
    EXPECT_EQ(made[0], '.') << name;
    EXPECT_TRUE(IsTemporaryItemNameOf(made, name)) << made;
    EXPECT_NE(TemporaryItemName(name), made) << name;
  }
  const struct {
    std::string fCandidate;
    std::string fName;
    bool fMatches;
  } cases[] = {
      {".Demo.app.zeft-0123456789ab", "Demo.app", true},
      {".Demo.app.zeft-0123456789AB", "Demo.app", false},
      {".Demo.app.zeft-0123456789a", "Demo.app", false},
      {".Demo.app.zeft-0123456789abc", "Demo.app", false},
      {".Demo.app.zeft-lock", "Demo.app", false},
      {".Demo.app.zeft-0123456789ab", "Demo.ap", false},
      {".Demo.app.zeft-0123456789ab", "Demo.app.app", false},
      {"Demo.app.zeft-0123456789ab", "Demo.app", false},
      {TemporaryItemName(longOther), longName, false},
      {TemporaryItemName(longName), longOther, false},
      {TemporaryItemName(longName + "x"), longName, false},
      {TemporaryItemName(longName.substr(0, 200)), longName, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsTemporaryItemNameOf(c.fCandidate, c.fName), c.fMatches) << c.fCandidate;
  // A long name's stem ends within whole characters of UTF-8.
  const std::string stem = HiddenNameStem(accented);
  EXPECT_EQ(stem.substr(0, 182), accented.substr(0, 182));
  EXPECT_EQ(stem[182], '~');
}

}  // namespace
}  // namespace zeft::platform
