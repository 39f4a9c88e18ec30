#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/StStringConverter.h"
#include "process/VCommandLineParser.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

std::string ReadGolden(const char* name) {
  return test::ReadWholeFile(std::string(ZEFT_PROCESS_GOLDEN_DIR) + "/" + name);
}

// A program with every shape of help entry: paragraphs first and between
// options, a hidden option, short-only options with and without value, a
// long name that fills the name column, descriptions that wrap, tabs,
// quotes and positional arguments.
class HelpProgram {
 public:
  HelpProgram() : fArguments{VString("updater"), VString("--pid=1"), VString("caf\xc3\xa9")} {
    fParser.AddParagraph(VString("Replaces an installed application bundle with a newer copy."));
    fParser.AddOption('p', VString("pid"), VString("Process id of the application to wait for"),
                      &fPid);
    fParser.AddOption(0, VString("log-dir"),
                      VString("Folder in which the update log is written; it is created when "
                              "it does not exist yet."),
                      &fText);
    fParser.AddOption(0, VString("restart-headless-options"), VString("Relaunch without a window"),
                      &fFlag);
    fParser.AddOption(0, VString("caller-log-file"), VString("Log of the caller"), &fText);
    fParser.AddOption('s', VString(), VString("Silent"), &fFlag);
    fParser.AddOption('n', VString(), VString("Name of the caller"), &fText);
    fParser.AddOption(0, VString("debug-dump"), VString("Internal"), &fFlag)->SetHidden(true);
    fParser.AddParagraph(
        VString("Customization:\tthe \"client\" options below apply to bundles that are clients "
                "of a database server, and only to those."));
    fParser.AddOption(0, VString("client-info"), VString("Customization\tfile"), &fText);
    fParser.AddParagraph(VString());
    fParser.AddPositionalArguments(&fFiles);
  }

  VCommandLineParser& Parser() { return fParser; }

 private:
  std::vector<VString> fArguments;
  VCommandLineParser fParser{fArguments};
  int fPid = 0;
  bool fFlag = false;
  VString fText;
  std::vector<VString> fFiles;
};

TEST(VCommandLineHelp, HelpTextMatchesGolden) {
  HelpProgram program;
  const VString help = program.Parser().GetInfos().BuildHelpUsage(VString("updater"), false);
  EXPECT_EQ(to_string(help), ReadGolden("help.txt"));
  // Written as it is when standard output is no terminal: no colours.
  testing::internal::CaptureStdout();
  program.Parser().GetInfos().HelpUsage(VString("updater"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), ReadGolden("help.txt"));
}

TEST(VCommandLineHelp, ColoursMarkOptionNamesAndParagraphs) {
  HelpProgram program;
  const std::string help =
      to_string(program.Parser().GetInfos().BuildHelpUsage(VString("updater"), true));
  EXPECT_NE(help.find("\033[0;33mReplaces an installed application bundle with a newer "
                      "copy.\033[0m\n"),
            std::string::npos);
  EXPECT_NE(help.find("\033[0;32m  -p, --pid=VALUE            \033[0mProcess id"),
            std::string::npos);
  EXPECT_NE(help.find("\033[0;32m  -h, --help                 \033[0mDisplay the help and exit\n"),
            std::string::npos);
}

TEST(VCommandLineHelp, EmptyParserShowsOnlyTheBuiltInHelp) {
  std::vector<VString> arguments{VString("prog"), VString("x")};
  VCommandLineParser parser(arguments);
  EXPECT_EQ(to_string(parser.GetInfos().BuildHelpUsage(VString("prog"), false)),
            "Usage: prog [OPTION]...\n"
            "  -h, --help                 Display the help and exit\n");
  bool human = false;
  parser.AddOption('h', VString("human"), VString("Sizes"), &human);
  EXPECT_EQ(to_string(parser.GetInfos().BuildHelpUsage(VString("prog"), false)),
            "Usage: prog [OPTION]...\n\n"
            "  -h, --human                Sizes\n"
            "      --help                 Display the help and exit\n");
}

TEST(VCommandLineHelp, LongTokensWrapWithoutLosingACharacter) {
  // Forced breaks follow each other: a word after every break keeps its
  // first letter, and a token wider than the column stays whole.
  const std::string token(70, 'T');
  const std::string description = "alpha beta gamma delta epsilon zeta eta theta iota kappa " +
                                  token + " lambda mu nu xi omicron pi rho sigma tau upsilon " +
                                  "phi chi psi omega www.example.com/updates";
  std::vector<VString> arguments{VString("prog"), VString("x")};
  VCommandLineParser parser(arguments);
  bool flag = false;
  VString text;
  text.FromBlock(description.data(), description.size(), kCharSetUTF8);
  parser.AddOption(0, VString("wrapped"), text, &flag);
  const std::string help = to_string(parser.GetInfos().BuildHelpUsage(VString("prog"), false));
  const size_t first = help.find("--wrapped");
  const std::string block = help.substr(first + 23, help.find("  -h, --help") - first - 23);
  // Every line but the token's fits the column and every continuation is
  // indented by 29 blanks.
  std::istringstream lines(block);
  std::string line;
  std::string joined;
  for (int n = 0; std::getline(lines, line); ++n) {
    if (n > 0) {
      ASSERT_EQ(line.substr(0, 29), std::string(29, ' ')) << line;
      line = line.substr(29);
    }
    if (line != token) {
      EXPECT_LE(line.size(), 49u) << line;
    }
    joined += (joined.empty() || joined.back() == '.' ? "" : " ") + line;
  }
  EXPECT_EQ(joined, description);
}

TEST(VCommandLineHelp, ManPageMatchesGolden) {
  HelpProgram program;
  VString page("prefix\n");
  program.Parser().ExportAsManPage(&page);
  EXPECT_EQ(to_string(page), "prefix\n" + ReadGolden("manpage.txt"));
}

TEST(VCommandLineHelp, JSONDescriptionMatchesGoldenAndIsJSON) {
  HelpProgram program;
  VString document("replaced");
  program.Parser().ExportAsJSON(&document);
  const std::string json = to_string(document);
  EXPECT_EQ(json, ReadGolden("description.json"));
  // Names the application chose freely are escaped too.
  std::vector<VString> arguments{VString("prog"), VString("a\"b\\c")};
  VCommandLineParser odd(arguments);
  bool flag = false;
  odd.AddOption('"', VString("we\"ird"), VString("tab\there"), &flag);
  VString oddDocument;
  odd.ExportAsJSON(&oddDocument);
  for (const std::string& text : {json, to_string(oddDocument)}) {
    char path[] = "/tmp/zeft-json-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size()));
    ::close(fd);
    const std::string command = std::string("python3 -m json.tool ") + path + " > /dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << text;
    ::unlink(path);
  }
}

TEST(VCommandLineHelp, EmptyOptionListGivesACountOfZero) {
  std::vector<VString> arguments{VString("prog")};
  VCommandLineParser parser(arguments);
  VString document;
  parser.ExportAsJSON(&document);
  EXPECT_EQ(to_string(document),
            "{\n\t\"arguments\": {\n\t\t\"count\": 1,\n\t\t\"values\": [\n\t\t\t\"prog\"\n"
            "\t\t]\n\t},\n\t\"options\": {\n\t\t\"count\": 0,\n\t\t\"values\": [\n\t\t]\n\t}\n}\n");
}

TEST(VCommandLineHelp, PrintAllArgumentsWritesToTheChosenStream) {
  HelpProgram program;
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  program.Parser().PrintAllArguments(true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), ReadGolden("description.json") + "\n");
}

}  // namespace
}  // namespace zeft
