// The XML library is brought up once for the whole suite, as the managers
// that own it do in a program.
#include <gtest/gtest.h>

#include "xml/VXMLParser.h"

namespace zeft {
namespace {

class XMLEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { VXMLParser::Init(); }
  void TearDown() override { VXMLParser::DeInit(); }
};

[[maybe_unused]] ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new XMLEnvironment);

}  // namespace
}  // namespace zeft
