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
    EXPECT_EQ(AsideNumber(made, c.bundle, c.tag), c.number) << made;
  }
}

TEST(AsideName, RecognisesOnlyAsideNamesOfTheBundleAndReadsTheirNumber) {
  struct Case {
    const char* name;
    int number;  // -1: not an aside name of Demo.app
  };
  const Case cases[] = {
      {"Demo_old0001.app", 1},
      {"Demo_old0000.app", 0},
      {"Demo_old9999.app", 9999},
      {"Demo_old2019.app", 2019},
      {"Demo.app", -1},
      {"Demo_old001.app", -1},
      {"Demo_old00001.app", -1},
      {"Demo_old000a.app", -1},
      {"Demo_old-001.app", -1},
      {"Demo_old0001.App", -1},
      {"demo_old0001.app", -1},
      {"Demo_new0001.app", -1},
      {"Demo0001.app", -1},
      {"Demo_old0001", -1},
      {"Demo_old0001.app.zip", -1},
      {"Other_old0001.app", -1},
      {"XDemo_old0001.app", -1},
      {"Demo_old0001.app ", -1},
      {"", -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AsideNumber(c.name, "Demo.app", "old"), c.number) << '"' << c.name << '"';
  // An extensionless bundle's aside names carry none either.
  EXPECT_EQ(AsideNumber("Demo_old0002", "Demo", "old"), 2);
  EXPECT_EQ(AsideNumber("Demo_old0002.app", "Demo", "old"), -1);
}

}  // namespace
}  // namespace zeft
