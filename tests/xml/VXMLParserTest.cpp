// The event parser: the calls handlers receive, hidden subtrees, errors
// with their position and document, and the limits that keep hostile
// documents harmless.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "files/FileTestSupport.h"
#include "files/IFileSystemObject.h"
#include "runtime/VErrorThrow.h"
#include "support/ErrorTestSupport.h"
#include "support/TempFolder.h"
#include "xml/HostileDocuments.h"
#include "xml/IXMLHandler.h"
#include "xml/RecordingHandler.h"
#include "xml/VNullXMLHandler.h"
#include "xml/VXMLParser.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasError;
using test::Recorder;

constexpr VError kXMLFatal = MakeVError(kComponentXML, 3);
constexpr VError kXMLRecoverable = MakeVError(kComponentXML, 2);

struct ParseResult {
  bool ok = false;
  std::vector<std::string> log;
  std::vector<test::ErrorRecord> errors;
};

ParseResult ParseBytes(const std::string& xml, uint32 options = 0) {
  ParseResult result;
  int alive = 0;
  ErrorCollector errors;
  {
    Recorder* root = new Recorder(&result.log, &alive, "root");
    VXMLParser parser;
    result.ok = parser.Parse(xml.data(), xml.size(), root, options);
    root->Release();
  }
  EXPECT_EQ(alive, 0) << "a handler was not released";
  result.errors = errors.Errors();
  return result;
}

ParseResult ParseFile(const IFile* file) {
  ParseResult result;
  int alive = 0;
  ErrorCollector errors;
  {
    Recorder* root = new Recorder(&result.log, &alive, "root");
    VXMLParser parser;
    result.ok = parser.Parse(file, root, 0);
    root->Release();
  }
  EXPECT_EQ(alive, 0) << "a handler was not released";
  result.errors = errors.Errors();
  return result;
}

// A file that is not on disk: its bytes are in memory, its path is only a
// name.
class MemoryFile : public VObject, public IFile {
 public:
  MemoryFile(std::string bytes, bool readable) : fBytes(std::move(bytes)), fReadable(readable) {}

  VFilePath GetPath() const override { return VFilePath(); }
  VFileSystem* GetFileSystem() const override { return nullptr; }
  void GetPlatformPath(VString& path, FilePathStyle style) const override {
    path = VString(style == kFilePathStylePosix ? "/in memory/doc.xml" : "in memory:doc.xml");
  }
  VString GetPathWithFileSystem() const override { return VString(); }
  IFolder* RetainParentFolder(bool) const override { return nullptr; }
  bool Exists() const override { return fReadable; }
  VError GetTimeAttributes(VTime*, VTime*, VTime*) const override { return VE_OK; }
  VError GetContent(VMemoryBuffer<>& content) const override {
    if (!fReadable) {
      _ThrowError(ToolboxError(toolbox_error::kFileNotFound));
      return ToolboxError(toolbox_error::kFileNotFound);
    }
    content.SetData(fBytes.data(), fBytes.size());
    return VE_OK;
  }
  VError GetData(void*, size_t, size_t*) const override { return VE_OK; }
  VError SetContent(const void*, size_t) const override { return VE_OK; }
  VError AppendContent(const void*, size_t) const override { return VE_OK; }
  VError Delete() const override { return VE_OK; }
  bool IsWritable() const override { return false; }
  VError GetSize(int64* size) const override {
    *size = int64(fBytes.size());
    return VE_OK;
  }

 private:
  std::string fBytes;
  bool fReadable;
};

// Joins a log's entries that start with `prefix` " text " into one text.
std::string JoinedText(const std::vector<std::string>& log, const std::string& owner) {
  std::string text;
  const std::string marker = owner + " text ";
  for (const std::string& entry : log) {
    if (entry.rfind(marker, 0) == 0) text += entry.substr(marker.size());
  }
  return text;
}

TEST(VXMLParser, DeliversElementsAttributesAndTextToTheHandlerOfEachElement) {
  ParseResult r = ParseBytes(
      "<?xml version=\"1.0\"?><a x=\"1\" y=\"t&amp;u\">hi<b z=\"2\"/><p:c p:q=\"3\">in</p:c></a>");
  EXPECT_TRUE(r.ok);
  const std::vector<std::string> expected = {
      "root start a", "a attr x=1", "a attr y=t&u", "a text hi",
      // A self-closing element: start, attributes and end on its own handler.
      "a start b", "b attr z=2", "b end b",
      // Prefixes stay in names when namespaces are off.
      "a start p:c", "p:c attr p:q=3", "p:c text in", "p:c end p:c", "a end a"};
  EXPECT_EQ(r.log, expected);
  EXPECT_TRUE(r.errors.empty());
}

TEST(VXMLParser, ANullHandlerHidesTheWholeSubtree) {
  ParseResult r = ParseBytes(
      "<a><skip k=\"v\">t<?xml-stylesheet href=\"x\"?><d e=\"f\">g</d></skip><after/></a>");
  EXPECT_TRUE(r.ok);
  const std::vector<std::string> expected = {"root start a", "a start skip", "a start after",
                                             "after end after", "a end a"};
  EXPECT_EQ(r.log, expected);
}

TEST(VXMLParser, TextAcrossReferencesAndCDataJoinsToTheDecodedText) {
  ParseResult r = ParseBytes(
      "<!DOCTYPE a [<!ENTITY e \"entity\">]><a>x &lt; &e; &#x20AC;<![CDATA[<raw>]]>y</a>",
      kXMLParseNeverValidate);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(JoinedText(r.log, "a"), "x < entity \xE2\x82\xAC<raw>y");
}

TEST(VXMLParser, MalformedDocumentFailsWithLineAndColumnAndReleasesOpenHandlers) {
  ParseResult r = ParseBytes("<a>\n  <b>\n  </c>\n</a>");
  EXPECT_FALSE(r.ok);
  ASSERT_TRUE(HasError(r.errors, kXMLFatal, "line", "3"));
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "column", "5"));
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "systemID", "frommem"));
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "message"));
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "publicID", ""));
}

TEST(VXMLParser, StringFormReadsUTF16WhateverTheDeclarationSays) {
  std::vector<std::string> log;
  int alive = 0;
  Recorder* root = new Recorder(&log, &alive, "root");
  VXMLParser parser;
  VString text(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a v=\"\u00E9\u4E2D\">\u20AC</a>");
  EXPECT_TRUE(parser.Parse(text, root, 0));
  root->Release();
  const std::vector<std::string> expected = {"root start a", "a attr v=\xC3\xA9\xE4\xB8\xAD",
                                             "a text \xE2\x82\xAC", "a end a"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(alive, 0);
}

TEST(VXMLParser, ValidationOptions) {
  const std::string unreachable = "<!DOCTYPE a SYSTEM \"http://localhost:1/none.dtd\"><a/>";
  // Never validating and not loading the DTD: nothing is fetched, no error.
  ParseResult never = ParseBytes(unreachable, kXMLParseNeverValidate);
  EXPECT_TRUE(never.ok);
  EXPECT_TRUE(never.errors.empty());

  // Always validating against an internal subset reports invalid content
  // as a recoverable error and goes on.
  const std::string invalid = "<!DOCTYPE a [<!ELEMENT a EMPTY>]><a><b/></a>";
  ParseResult validated = ParseBytes(invalid, kXMLParseValidate);
  EXPECT_FALSE(validated.ok);
  EXPECT_TRUE(HasError(validated.errors, kXMLRecoverable, "line", "1"));
  EXPECT_EQ(validated.log.back(), "a end a");
  EXPECT_TRUE(ParseBytes(invalid, kXMLParseNeverValidate).ok);
}

TEST(VXMLParser, DefaultedAttributesOnlyWhenAsked) {
  const std::string xml = "<!DOCTYPE a [<!ATTLIST a d CDATA \"def\">]><a w=\"1\"/>";
  ParseResult plain = ParseBytes(xml, kXMLParseNeverValidate);
  EXPECT_EQ(plain.log, (std::vector<std::string>{"root start a", "a attr w=1", "a end a"}));
  ParseResult reported =
      ParseBytes(xml, kXMLParseNeverValidate | kXMLParseReportDefaultedAttributes);
  EXPECT_EQ(reported.log,
            (std::vector<std::string>{"root start a", "a attr w=1", "a attr d=def", "a end a"}));
}

TEST(VXMLParser, StyleSheetInstructionIsReadIntoNameValuePairs) {
  ParseResult r = ParseBytes(
      "<?xml-stylesheet type=\"text/xsl\" href = 'a b.xsl' media=print title ?>"
      "<?other type=\"x\"?><a/>");
  const std::vector<std::string> expected = {"root sheet{", "root sheet type=text/xsl",
                                             // Values split at white space even inside quotes.
                                             "root sheet href='a", "root sheet media=print",
                                             "root }sheet", "root start a", "a end a"};
  EXPECT_EQ(r.log, expected);
}

TEST(VXMLParser, CharacterTests) {
  for (UniChar c : {u' ', u'\t', u'\n', u'\f', u'\r'}) EXPECT_TRUE(IXMLHandler::WCharIsSpace(c));
  for (UniChar c : {u'a', u'\v', u'\x00A0', u'\0'}) EXPECT_FALSE(IXMLHandler::WCharIsSpace(c));
  for (UniChar c : {u'a', u'\t', u'\n', u'\x00E9', u'\xFFFD'}) {
    EXPECT_TRUE(IXMLHandler::IsXMLChar(c)) << int(c);
  }
  for (UniChar c : {u'\0', u'\x01', u'\x1F', u'\xD800', u'\xFFFE', u'\xFFFF'}) {
    EXPECT_FALSE(IXMLHandler::IsXMLChar(c)) << int(c);
  }
}

TEST(VXMLParser, NullHandlerSwallowsEverything) {
  VNullXMLHandler* handler = new VNullXMLHandler;
  VXMLParser parser;
  const std::string xml = "<a k=\"v\"><b>text</b><c/></a>";
  EXPECT_TRUE(parser.Parse(xml.data(), xml.size(), handler, 0));
  EXPECT_EQ(handler->GetRefCount(), 1);
  handler->Release();
}

// Hostile documents fail with an error instead of exhausting the machine.
TEST(VXMLParser, BillionLaughsFails) {
  ParseResult r = ParseBytes(test::BillionLaughs());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "message"));
  EXPECT_LT(JoinedText(r.log, "a").size(), size_t(100000));

  // The same in an attribute value.
  ParseResult ra = ParseBytes(test::BillionLaughs(true));
  EXPECT_FALSE(ra.ok);
  EXPECT_TRUE(HasError(ra.errors, kXMLFatal));
}

TEST(VXMLParser, QuadraticEntityBlowUpFails) {
  // One big entity referenced many times, each reference under the limit.
  std::string big(100000, 'x');
  std::string xml = "<!DOCTYPE a [<!ENTITY b \"" + big + "\">]><a>";
  for (int i = 0; i < 900; ++i) xml += "&b;";
  xml += "</a>";
  ParseResult r = ParseBytes(xml);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "message"));
}

TEST(VXMLParser, NestingIsBounded) {
  EXPECT_TRUE(ParseBytes(test::Nested(VXMLParser::kMaxNesting)).ok);
  ParseResult deep = ParseBytes(test::Nested(100000));
  EXPECT_FALSE(deep.ok);
  EXPECT_TRUE(HasError(deep.errors, kXMLFatal, "line", "1"));
}

// Keeps the strings it is given, as a handler that stores names and values
// does: they must stay whole after the events that delivered them.
class KeepingHandler : public VObject, public IXMLHandler {
 public:
  IXMLHandler* StartElement(const VString& name) override {
    fKept.push_back(name);
    Retain();
    return this;
  }
  void EndElement(const VString& name) override { fKept.push_back(name); }
  void SetAttribute(const VString& name, const VString& value) override {
    fKept.push_back(name);
    fKept.push_back(value);
  }
  void SetText(const VString& text) override { fKept.push_back(text); }

  std::vector<VString> fKept;
};

TEST(VXMLParser, KeptNamesValuesAndTextsStayWhole) {
  // More distinct element names than the parser remembers at once, each
  // element seen twice, in every namespace and validation mode.
  std::string xml = "<root>";
  std::vector<std::string> expected = {"root"};
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 150; ++i) {
      const std::string name = "p:e" + std::to_string(i);
      const std::string attribute = "a" + std::to_string(i);
      const std::string value = "v" + std::to_string(i * 7 + round);
      const std::string start =
          "<" + name + " xmlns:p=\"urn:p\" " + attribute + "=\"" + value + " &amp; caf\xC3\xA9\"";
      xml += start + ">t" + std::to_string(i) + "</" + name + ">" + start + "/>";
      for (int copy = 0; copy < 2; ++copy) {
        expected.insert(expected.end(),
                        {name, "xmlns:p", "urn:p", attribute, value + " & caf\xC3\xA9"});
        if (copy == 0) expected.push_back("t" + std::to_string(i));
        expected.push_back(name);
      }
    }
  }
  xml += "</root>";
  expected.push_back("root");
  for (uint32 options : {uint32(kXMLParseNeverValidate), uint32(kXMLParseNamespaces)}) {
    VRefPtr<KeepingHandler> handler(new KeepingHandler, kAdoptRef);
    VXMLParser parser;
    ASSERT_TRUE(parser.Parse(xml.data(), xml.size(), handler.Get(), options)) << options;
    std::vector<std::string> kept;
    for (const VString& s : handler->fKept) kept.push_back(to_string(s));
    EXPECT_EQ(kept, expected) << options;
  }
}

TEST(VXMLParser, ExternalEntitiesAndDTDsAreNeverLoaded) {
  // Whatever the options, the library opens no file a document names: the
  // reference fails with an error instead.
  for (uint32 options : {0u, uint32(kXMLParseLoadExternalDTD), uint32(kXMLParseValidate),
                         uint32(kXMLParseNeverValidate)}) {
    ParseResult r =
        ParseBytes("<!DOCTYPE a [<!ENTITY s SYSTEM \"file:///etc/hostname\">]><a>&s;</a>", options);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(JoinedText(r.log, "a"), "") << options;
    EXPECT_TRUE(HasError(r.errors, kXMLFatal, "message",
                         "unable to open external entity 'file:///etc/hostname'"));
  }
  const std::string dtd = "<!DOCTYPE a SYSTEM \"/etc/hostname\"><a/>";
  for (uint32 options : {0u, uint32(kXMLParseLoadExternalDTD), uint32(kXMLParseValidate)}) {
    ParseResult r = ParseBytes(dtd, options);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.log.empty());
    EXPECT_TRUE(
        HasError(r.errors, kXMLFatal, "message", "unable to open DTD document '/etc/hostname'"));
  }
  EXPECT_TRUE(ParseBytes(dtd, kXMLParseNeverValidate).ok);
}

TEST(VXMLParserFile, AFileOnDiskIsReadByTheLibraryAndNamedByItsPath) {
  test::TempFolder temp;
  // A folder name the library must not mangle: a blank and a non-ASCII
  // letter.
  const std::string good = temp.Write("Caf\xC3\xA9 docs/good.xml", "<a x=\"1\">hi</a>");
  const std::string bad = temp.Write("Caf\xC3\xA9 docs/bad.xml", "<a>\n  <b></a>");
  ParseResult r = ParseFile(test::FileAt(good).Get());
  EXPECT_TRUE(r.ok);
  const std::vector<std::string> expected = {"root start a", "a attr x=1", "a text hi", "a end a"};
  EXPECT_EQ(r.log, expected);
  EXPECT_TRUE(r.errors.empty());

  r = ParseFile(test::FileAt(bad).Get());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "systemID", bad.c_str()));
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "line", "2"));

  // A missing file is the library's error too, and names the file.
  const std::string missing = temp.Path("Caf\xC3\xA9 docs/missing.xml");
  r = ParseFile(test::FileAt(missing).Get());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.log.empty());
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "systemID", missing.c_str()));
  // No position in the document, rather than one in the library's code.
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "line", "0"));
}

TEST(VXMLParserFile, AnyOtherFileIsReadWholeAndNamedByItsPosixPath) {
  MemoryFile good("<a x=\"1\"/>", true);
  ParseResult r = ParseFile(&good);
  EXPECT_TRUE(r.ok);
  const std::vector<std::string> expected = {"root start a", "a attr x=1", "a end a"};
  EXPECT_EQ(r.log, expected);

  MemoryFile bad("<a>\n  <b></a>", true);
  r = ParseFile(&bad);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "systemID", "/in memory/doc.xml"));
  EXPECT_TRUE(HasError(r.errors, kXMLFatal, "line", "2"));

  // Unreadable: no parse, and the reading error is what the stack holds.
  MemoryFile unreadable("<a/>", false);
  r = ParseFile(&unreadable);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.log.empty());
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].code, ToolboxError(toolbox_error::kFileNotFound));
}

}  // namespace
}  // namespace zeft
