#include "AsideName.h"

#include <gtest/gtest.h>

#include <string>

namespace zeft {
namespace {

TEST(AsideName, MakesTheBundleNameWithTagAndNumberBeforeItsExtension) {
  struct Case {
    const char* bundle;
    const char* tag;
    int number;
    const char* made;
  };
  const Case cases[] = {
      {"Demo.app", "old", 1, "Demo_old0001.app"},
      {"Demo.app", "old", 9999, "Demo_old9999.app"},
      {"My.Demo.app", "old", 12, "My.Demo_old0012.app"},
      {"Demo", "old", 3, "Demo_old0003"},
      {"Demo.", "old", 2, "Demo_old0002."},
      {".app", "old", 1, "_old0001.app"},
      {"Démo.app", "old", 1, "Démo_old0001.app"},
      {"Demo.app", "", 7, "Demo0007.app"},
  };
  for (const Case& c : cases) {
    const std::string made = MakeAsideName(c.bundle, c.tag, c.number);
    EXPECT_EQ(made, c.made) << c.bundle;
    EXPECT_TRUE(IsAsideName(made, c.bundle, c.tag)) << made;
  }
}

TEST(AsideName, RecognisesOnlyAsideNamesOfTheBundle) {
  struct Case {
    const char* name;
    bool recognised;
  };
  const Case cases[] = {
      {"Demo_old0001.app", true},   {"Demo_old0000.app", true},      {"Demo_old9999.app", true},
      {"Demo.app", false},          {"Demo_old001.app", false},      {"Demo_old00001.app", false},
      {"Demo_old000a.app", false},  {"Demo_old-001.app", false},     {"Demo_old0001.App", false},
      {"demo_old0001.app", false},  {"Demo_new0001.app", false},     {"Demo0001.app", false},
      {"Demo_old0001", false},      {"Demo_old0001.app.zip", false}, {"Other_old0001.app", false},
      {"XDemo_old0001.app", false}, {"Demo_old0001.app ", false},    {"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsAsideName(c.name, "Demo.app", "old"), c.recognised) << '"' << c.name << '"';
  // An extensionless bundle's aside names carry none either.
  EXPECT_TRUE(IsAsideName("Demo_old0002", "Demo", "old"));
  EXPECT_FALSE(IsAsideName("Demo_old0002.app", "Demo", "old"));
}

}  // namespace
}  // namespace zeft
