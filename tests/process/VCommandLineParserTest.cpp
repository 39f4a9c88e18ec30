#include "process/VCommandLineParser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/StStringConverter.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "json/VJSONValue.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

std::vector<VString> Arguments(const std::vector<std::string>& entries) {
  std::vector<VString> arguments{VString("updater")};
  for (const std::string& entry : entries) {
    VString argument;
    argument.FromBlock(entry.data(), entry.size(), kCharSetUTF8);
    arguments.push_back(argument);
  }
  return arguments;
}

// The options of a program like the updater, bound to the fields.
struct Options {
  int pid = 0;
  bool silent = false;
  bool verbose = false;
  bool strict = false;
  unsigned int retries = 0;
  long long size = 0;
  VString logDir;
  VString name;
  std::vector<VString> files;

  void Register(VCommandLineParser& parser, bool positional) {
    parser.AddOption('p', VString("pid"), VString("Process id of the application to wait for"),
                     &pid);
    parser.AddOption(0, VString("silent"), VString("No alert when the update fails"), &silent);
    parser.AddOption('v', VString("verbose"), VString("Log every step"), &verbose);
    parser.AddOption(0, VString("strict"), VString("Refuse unknown bundles"), &strict, true);
    parser.AddOption('r', VString("retries"), VString("How many times to try"), &retries);
    parser.AddOption(0, VString("size"), VString("Largest bundle size"), &size);
    parser.AddOption(0, VString("log-dir"), VString("Folder of the update log"), &logDir);
    parser.AddOption('n', VString(), VString("Name of the caller"), &name);
    if (positional) parser.AddPositionalArguments(&files);
  }

  std::string Summary() const {
    std::string text = "pid=" + std::to_string(pid) + " silent=" + std::to_string(silent) +
                       " verbose=" + std::to_string(verbose) + " strict=" + std::to_string(strict) +
                       " retries=" + std::to_string(retries) + " size=" + std::to_string(size) +
                       " log-dir=" + to_string(logDir) + " name=" + to_string(name) + " files=[";
    for (size_t i = 0; i < files.size(); ++i)
      text.append(i > 0 ? "," : "").append(to_string(files[i]));
    return text + "]";
  }
};

struct ParseOutcome {
  uint32 result;
  std::string out;
  std::string err;
  std::string values;
};

ParseOutcome RunParse(const std::vector<std::string>& entries, bool positional = true) {
  std::vector<VString> arguments = Arguments(entries);
  Options options;
  VCommandLineParser parser(arguments);
  options.Register(parser, positional);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ParseOutcome outcome;
  outcome.result = parser.Parse();
  outcome.out = testing::internal::GetCapturedStdout();
  outcome.err = testing::internal::GetCapturedStderr();
  outcome.values = options.Summary();
  return outcome;
}

const std::string kDefaults =
    "pid=0 silent=0 verbose=0 strict=0 retries=0 size=0 log-dir= name= files=[]";

struct ParseCase {
  std::vector<std::string> entries;
  uint32 result;
  std::string err;
  std::string values;  // empty: the defaults
};

TEST(VCommandLineParserParse, ArgumentVectorsGiveTheirResultsErrorsAndValues) {
  const std::string hundred(100, 'x');
  const std::vector<ParseCase> cases = {
      {{}, 0, "", ""},
      {{"--pid=123", "--silent"}, 0, "", "pid=123 silent=1"},
      {{"--pid", "123"}, 0, "", "pid=123"},
      {{"--pid", "--", "-5"}, 0, "", "pid=-5"},
      {{"--pid", "--silent", "5"}, 0, "", "pid=5 silent=1"},
      {{"--pid=010"}, 0, "", "pid=8"},
      {{"--pid= 42 "}, 0, "", "pid=42"},
      {{"--pid=-2147483648"}, 0, "", "pid=-2147483648"},
      {{"--silent=1"}, 1, "error: a value for option `silent` is not required\n", ""},
      {{"--help=x"}, 1, "error: invalid value for option  `help`\n", ""},
      {{"--bogus"}, 1, "error: unknown option `bogus`\n", ""},
      {{"--bogus=3"}, 1, "error: unknown option `bogus`\n", ""},
      {{"--pid"}, 1, "error: missing value for option -p, --pid\n", ""},
      {{"-n"}, 1, "error: missing value for option -n\n", ""},
      {{"--pid=abc"},
       1,
       "invalid value for argument '-p, --pid' got \"abc\" expected a signed integral\n",
       ""},
      {{"--pid=0x10"},
       1,
       "invalid value for argument '-p, --pid' got \"0x10\" expected a signed integral\n",
       ""},
      // Beyond 32 bits: refused, never stored cut to its low bits.
      {{"--pid=4294967297"},
       1,
       "invalid value for argument '-p, --pid' got \"4294967297\" expected a signed integral\n",
       ""},
      {{"--pid=2147483648"},
       1,
       "invalid value for argument '-p, --pid' got \"2147483648\" expected a signed integral\n",
       ""},
      {{"--retries=4294967295"}, 0, "", "retries=4294967295"},
      {{"--retries=4294967296"},
       1,
       "invalid value for argument '-r, --retries' got \"4294967296\" expected an unsigned "
       "integral\n",
       ""},
      {{"--retries=-1"},
       1,
       "invalid value for argument '-r, --retries' got \"-1\" expected an unsigned integral\n",
       ""},
      {{"--size=-9223372036854775808"}, 0, "", "size=-9223372036854775808"},
      {{"--pid="},
       1,
       "invalid value for argument '-p, --pid' got empty value expected a signed "
       "integral\n",
       ""},
      {{"--pid=" + hundred},
       1,
       "invalid value for argument '-p, --pid' got \"" + std::string(80, 'x') +
           "...\" expected a signed integral\n",
       ""},
      {{"--pid=12", "--pid=x"},
       1,
       "invalid value for argument '-p, --pid' got \"x\" expected a signed integral\n",
       "pid=12"},
      {{"--strict=yes"},
       1,
       "invalid value for argument '--strict' got \"yes\" expected 0, 1, true or false\n",
       ""},
      {{"--strict=TRUE"}, 0, "", "strict=1"},
      {{"--log-dir="}, 0, "", ""},
      {{"--log-dir", "/tmp/logs"}, 0, "", "log-dir=/tmp/logs"},
      {{"-pv", "77"}, 0, "", "pid=77 verbose=1"},
      {{"-pn", "1", "bob"}, 0, "", "pid=1 name=bob"},
      {{"-x"}, 1, "error: unknown option `x`\n", ""},
      {{"-vx"}, 1, "error: unknown option `x`\n", "verbose=1"},
      {{"-"}, 1, "error: missing short option `-`\n", ""},
      {{"a", "b"}, 0, "", "files=[a,b]"},
      {{"a", "", "b"}, 0, "", "files=[a,,b]"},
      {{"--", "-a", "--pid"}, 0, "", "files=[-a,--pid]"},
      {{"-ApplePersistenceIgnoreState", "YES", "f"}, 0, "", "files=[f]"},
      {{"-NSDocumentRevisionsDebugMode"}, 0, "", ""},
      {{"a", "--pid", "9", "b"}, 0, "", "pid=9 files=[a,b]"},
  };
  for (const ParseCase& c : cases) {
    std::string label;
    for (const std::string& entry : c.entries) label += " [" + entry + "]";
    SCOPED_TRACE(label);
    ParseOutcome outcome = RunParse(c.entries);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, c.err);
    // The expected values name only what differs from the defaults.
    Options expected;
    std::string values = kDefaults;
    std::istringstream changes(c.values);
    for (std::string change; changes >> change;) {
      const std::string key = change.substr(0, change.find('=') + 1);
      const size_t at = values.find(key);
      const size_t end = values.find(' ', at);
      values.replace(at, (end == std::string::npos ? values.size() : end) - at, change);
    }
    EXPECT_EQ(outcome.values, values);
  }
}

TEST(VCommandLineParserParse, PositionalArgumentWithoutPositionalOptionIsUnknown) {
  ParseOutcome outcome = RunParse({"--pid=1", "bundle.app"}, false);
  EXPECT_EQ(outcome.result, 1u);
  EXPECT_EQ(outcome.err, "error: unknown option `bundle.app`\n");
}

TEST(VCommandLineParserParse, HelpRequestsPrintTheHelpAndReturnTwo) {
  for (const std::vector<std::string>& entries :
       std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"-?"}, {"-vh", "--bogus"}}) {
    SCOPED_TRACE(entries[0]);
    std::vector<VString> arguments = Arguments(entries);
    VCommandLineParser parser(arguments);
    Options options;
    options.Register(parser, true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(parser.Parse(), 2u);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(0, out.find('\n')), "Usage: updater [OPTION]... [FILE]...");
    EXPECT_NE(out.find("  -h, --help                 Display the help and exit\n"),
              std::string::npos);
  }
}

TEST(VCommandLineParserParse, RegisteredHelpNamesAreOrdinaryOptions) {
  std::vector<VString> arguments = Arguments({"-h", "--help"});
  VCommandLineParser parser(arguments);
  bool human = false;
  bool help = false;
  parser.AddOption('h', VString("human"), VString("Sizes for humans"), &human);
  parser.AddOption(0, VString("help"), VString("Own help"), &help);
  EXPECT_EQ(parser.Parse(), 0u);
  EXPECT_TRUE(human);
  EXPECT_TRUE(help);
}

TEST(VCommandLineParserParse, OnlyTheProgramPathRegistersNothing) {
  std::vector<VString> arguments = Arguments({});
  VCommandLineParser parser(arguments);
  int pid = 0;
  EXPECT_EQ(parser.AddOption('p', VString("pid"), VString(), &pid), nullptr);
  parser.AddPositionalArguments(nullptr);
  EXPECT_TRUE(parser.GetInfos().GetOptions().empty());
  EXPECT_EQ(parser.GetInfos().GetPositionalArguments(), nullptr);
  EXPECT_EQ(parser.Parse(), 0u);
}

TEST(VCommandLineParserParse, DashValuesReadStandardInputOnce) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const int savedInput = ::dup(0);
  const std::string piped = "caf\xc3\xa9\n";
  ASSERT_EQ(::write(fds[1], piped.data(), piped.size()), ssize_t(piped.size()));
  ::close(fds[1]);
  ::dup2(fds[0], 0);
  ::close(fds[0]);
  std::vector<VString> arguments = Arguments({"--log-dir=-", "-n", "--", "-", "-"});
  VCommandLineParser parser(arguments);
  Options options;
  options.Register(parser, true);
  parser.SetValuesFromStandardInput(true);
  EXPECT_EQ(parser.Parse(), 0u);
  ::dup2(savedInput, 0);
  ::close(savedInput);
  EXPECT_EQ(to_string(options.logDir), "caf\xc3\xa9\n");
  EXPECT_EQ(to_string(options.name), "caf\xc3\xa9\n");
  ASSERT_EQ(options.files.size(), 1u);
  EXPECT_EQ(to_string(options.files[0]), "caf\xc3\xa9\n");
}

TEST(VCommandLineParserParse, UnreadableStandardInputIsAnError) {
  const int savedInput = ::dup(0);
  ::close(0);
  ParseOutcome outcome;
  {
    std::vector<VString> arguments = Arguments({"--log-dir=-"});
    VCommandLineParser parser(arguments);
    Options options;
    options.Register(parser, true);
    parser.SetValuesFromStandardInput(true);
    testing::internal::CaptureStderr();
    outcome.result = parser.Parse();
    outcome.err = testing::internal::GetCapturedStderr();
  }
  ::dup2(savedInput, 0);
  ::close(savedInput);
  EXPECT_EQ(outcome.result, 1u);
  EXPECT_EQ(outcome.err, "error: failed to read from stdin for option `log-dir=-`\n");
}

TEST(VCommandLineParserNames, ValidationOfLongAndShortNames) {
  EXPECT_TRUE(VCommandLineParser::ValidateLongOptionName(VString()));
  EXPECT_TRUE(VCommandLineParser::ValidateLongOptionName(VString("log-dir")));
  EXPECT_TRUE(VCommandLineParser::ValidateLongOptionName(VString("v2")));
  EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("v")));
  EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("-log")));
  EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("log-")));
  EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("Log")));
  EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("log_dir")));
  for (UniChar c : {UniChar(0), UniChar(' '), UniChar('a'), UniChar('Z'), UniChar('7')})
    EXPECT_TRUE(VCommandLineParser::ValidateShortOptionName(c)) << int(c);
  for (UniChar c : {UniChar('-'), UniChar('?'), UniChar(0xE9)})
    EXPECT_FALSE(VCommandLineParser::ValidateShortOptionName(c)) << int(c);
}

TEST(VCommandLineParserValues, FileAndFolderOptionsTakeExistingItemsOnly) {
  std::vector<VString> arguments = Arguments({"--file", "/proc/self/status", "--folder", "/tmp"});
  VCommandLineParser parser(arguments);
  VRefPtr<VFile> file;
  VRefPtr<VFolder> folder;
  parser.AddOption(0, VString("file"), VString("A file"), &file);
  parser.AddOption(0, VString("folder"), VString("A folder"), &folder);
  EXPECT_EQ(parser.Parse(), 0u);
  ASSERT_NE(file.Get(), nullptr);
  ASSERT_NE(folder.Get(), nullptr);
  VString posix;
  folder->GetPath().GetPosixPath(posix);
  EXPECT_EQ(to_string(posix), "/tmp/");

  for (const std::vector<std::string>& entries : std::vector<std::vector<std::string>>{
           {"--file", "/tmp"}, {"--file", "/no/such/file"}, {"--folder", "/proc/self/status"}}) {
    std::vector<VString> refused = Arguments(entries);
    VCommandLineParser second(refused);
    second.AddOption(0, VString("file"), VString("A file"), &file);
    second.AddOption(0, VString("folder"), VString("A folder"), &folder);
    testing::internal::CaptureStderr();
    EXPECT_EQ(second.Parse(), 1u) << entries[1];
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("invalid value for argument '" + entries[0] + "' got \"" + entries[1] +
                       "\" expected an existing"),
              std::string::npos)
        << err;
  }
  EXPECT_EQ(file.Get(), nullptr);
  EXPECT_EQ(folder.Get(), nullptr);
}

TEST(VCommandLineParserValues, JSONOptionsFollowTheirTargetsKind) {
  struct Case {
    JSONType kind;
    std::string value;
    uint32 result;
    std::string stringified;  // of the target after the parse
  };
  const Case cases[] = {
      {JSON_undefined, "{\"a\":[1,2]}", 0, "{\"a\":[1,2]}"},
      {JSON_object, "[true]", 0, "[true]"},
      {JSON_undefined, "{broken", 1, ""},
      {JSON_string, "{not parsed}", 0, "\"{not parsed}\""},
      {JSON_false, "ON", 0, "true"},
      {JSON_true, "off", 0, "false"},
      {JSON_true, "yes", 1, "true"},
      {JSON_number, "3", 1, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    std::vector<VString> arguments = Arguments({"--json=" + c.value});
    VCommandLineParser parser(arguments);
    VJSONValue target(c.kind);
    if (c.kind == JSON_number) target.SetNumber(0);
    parser.AddOption(0, VString("json"), VString("A value"), &target);
    test::ErrorCollector errors;
    testing::internal::CaptureStderr();
    EXPECT_EQ(parser.Parse(), c.result);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.empty(), c.result == 0) << err;
    EXPECT_TRUE(errors.Errors().empty());
    VString text;
    target.Stringify(text);
    if (!c.stringified.empty()) {
      EXPECT_EQ(to_string(text), c.stringified);
    }
  }
}

TEST(VCommandLineParserValues, FilePathsResolveFoldersWithATrailingSlash) {
  VFilePath path;
  EXPECT_TRUE(Extension::CommandLineParser::Argument<VFilePath>::Resolve(path, VString("/tmp")));
  VString posix;
  path.GetPosixPath(posix);
  EXPECT_EQ(to_string(posix), "/tmp/");
  EXPECT_FALSE(Extension::CommandLineParser::Argument<VFilePath>::Resolve(
      path, VString("/no/such/item.app")));
  path.GetPosixPath(posix);
  EXPECT_EQ(to_string(posix), "/no/such/item.app");
  EXPECT_FALSE(Extension::CommandLineParser::Argument<VFilePath>::Resolve(path, VString()));
  EXPECT_TRUE(path.IsEmpty());
}

}  // namespace
}  // namespace zeft
