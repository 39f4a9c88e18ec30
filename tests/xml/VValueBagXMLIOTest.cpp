// Bags written as XML into streams and read back from XML text and streams.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <string>
#include <vector>

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VString.h"
#include "files/FileTestSupport.h"
#include "files/VConstPtrStream.h"
#include "files/VFolder.h"
#include "files/VPtrStream.h"
#include "runtime/VErrorThrow.h"
#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"
#include "support/TempFolder.h"
#include "values/VValueBag.h"
#include "xml/VValueBagXMLIO.h"
#include "xml/VXMLParser.h"

namespace zeft {
namespace {

using test::ErrorCollector;
using test::HasError;
using BagRef = VRefPtr<VValueBag>;

constexpr VError kXMLFatal = MakeVError(kComponentXML, 3);

BagRef NewBag() { return BagRef(new VValueBag, kAdoptRef); }

std::string Dump(const VValueBag& bag) {
  VString out;
  bag.DumpXML(out, VString("x"), false);
  return to_string(out);
}

std::string Bytes(const VStream& stream) {
  const void* data = nullptr;
  int64 size = 0;
  stream.GetUnderlyingData(data, size);
  return std::string(static_cast<const char*>(data), size_t(size));
}

// A bag whose attributes are all texts, so that reading gives it back.
BagRef SampleBag() {
  BagRef bag = NewBag();
  bag->SetString("name", VString(u"caf\u00E9 & \"bar\""));
  bag->SetString("host", VString("localhost"));
  for (int i = 0; i < 2; ++i) {
    BagRef child = NewBag();
    child->SetString("n", VString(i == 0 ? "first" : "second"));
    // Text beside child elements would gain the line breaks between them.
    if (i == 0) child->SetCData(VString("text <with> markup"));
    bag->AddElement("child", child.Get());
  }
  BagRef leaf = NewBag();
  leaf->SetString("deep", VString(u"\u4E2D"));
  bag->GetElements("child")->GetNth(2)->AddElement("leaf", leaf.Get());
  return bag;
}

TEST(VValueBagXMLIO, ConnectionFileBytesAreUTF8WithTheDeclarationRightBeforeTheRoot) {
  BagRef bag = NewBag();
  bag->SetString("host", VString(u"s\u00E9rver"));
  bag->SetLong("port", 19812);
  VPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(WriteBagToUTF8StreamInXML(*bag, VString("database_shortcut"), &stream, false), VE_OK);
  stream.CloseWriting();
  EXPECT_EQ(Bytes(stream),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<database_shortcut host=\"s\xC3\xA9rver\" port=\"19812\"/>");
}

TEST(VValueBagXMLIO, StreamFormRoundTripsInBothByteOrders) {
  for (bool swap : {false, true}) {
    BagRef bag = SampleBag();
    VPtrStream stream;
    stream.SetNeedSwap(swap);
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    ASSERT_EQ(WriteBagToStreamInXML(*bag, &stream), VE_OK);
    stream.CloseWriting();
    const std::string bytes = Bytes(stream);
    // The marker 1 in the stream's byte order.
    EXPECT_EQ(bytes.substr(0, 4), swap ? std::string("\0\0\0\1", 4) : std::string("\1\0\0\0", 4));

    VConstPtrStream in(bytes.data(), bytes.size());
    in.SetNeedSwap(swap);
    ASSERT_EQ(in.OpenReading(), VE_OK);
    BagRef read = NewBag();
    EXPECT_EQ(ReadBagFromStreamInXML(*read, &in), VE_OK);
    EXPECT_EQ(Dump(*read), Dump(*bag)) << swap;
  }
}

TEST(VValueBagXMLIO, StreamWithoutTheMarkerReadsNothing) {
  const std::string bytes("\2\0\0\0\0\0\0\0", 8);
  VConstPtrStream in(bytes.data(), bytes.size());
  ASSERT_EQ(in.OpenReading(), VE_OK);
  BagRef bag = SampleBag();
  const std::string before = Dump(*bag);
  EXPECT_EQ(ReadBagFromStreamInXML(*bag, &in), VE_OK);
  EXPECT_EQ(Dump(*bag), before);
  EXPECT_EQ(in.GetPos(), 4);

  // Too short for the marker: the stream's error.
  VConstPtrStream shortStream(bytes.data(), 2);
  ASSERT_EQ(shortStream.OpenReading(), VE_OK);
  ErrorCollector errors;
  EXPECT_EQ(ReadBagFromStreamInXML(*bag, &shortStream),
            ToolboxError(toolbox_error::kStreamEndOfData));
  EXPECT_EQ(Dump(*bag), before);
}

TEST(VValueBagXMLIO, StreamReadReportsOnlyItsOwnErrors) {
  BagRef bag = SampleBag();
  VPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(WriteBagToStreamInXML(*bag, &stream), VE_OK);
  stream.CloseWriting();
  const std::string good = Bytes(stream);

  ErrorCollector errors;
  // An error left on the stack by an earlier, unrelated call.
  _ThrowError(ToolboxError(toolbox_error::kInvalidParameter));
  VConstPtrStream in(good.data(), good.size());
  ASSERT_EQ(in.OpenReading(), VE_OK);
  BagRef read = NewBag();
  EXPECT_EQ(ReadBagFromStreamInXML(*read, &in), VE_OK);

  // A stream whose text is no XML reports the parse error, which stays on
  // the stack.
  VPtrStream badStream;
  ASSERT_EQ(badStream.OpenWriting(), VE_OK);
  const int32 marker = 1;
  badStream.PutLongs(&marker, 1);
  VString("<bag a=\"1\">\n<x></bag>").WriteToStream(&badStream, 0);
  badStream.CloseWriting();
  const std::string bad = Bytes(badStream);
  VConstPtrStream badIn(bad.data(), bad.size());
  ASSERT_EQ(badIn.OpenReading(), VE_OK);
  EXPECT_EQ(ReadBagFromStreamInXML(*read, &badIn), kXMLFatal);
  EXPECT_TRUE(HasError(errors.Errors(), kXMLFatal, "line", "2"));
}

struct LoadCase {
  const char* name;
  const char* xml;
  const char* root;
  const char* expected;  // Dump of the bag after loading into an empty bag
};

TEST(VValueBagXMLIO, LoadBagFromXMLMapsElementsAttributesAndText) {
  const LoadCase cases[] = {
      {"root name ignores case", "<Bag a=\"1\"/>", "bag", "<x a=\"1\"/>"},
      {"empty root name accepts any", "<anything a=\"1\"/>", "", "<x a=\"1\"/>"},
      {"another root is ignored", "<other a=\"1\"><c/></other>", "bag", "<x/>"},
      {"siblings of one name keep their order", "<bag><c n=\"1\"/><d/><c n=\"2\"/></bag>", "bag",
       "<x>\n<c n=\"1\"/>\n<c n=\"2\"/>\n<d/>\n</x>"},
      {"text split by CDATA is one text", "<bag>ab<![CDATA[<c>]]>de</bag>", "bag",
       "<x><![CDATA[ab<c>de]]></x>"},
      {"a repeated attribute name keeps the last", "<bag><c a=\"1\" A=\"2\"/></bag>", "bag",
       "<x>\n<c a=\"1\" A=\"2\"/>\n</x>"},
      {"prefixed names stay as written", "<bag p:a=\"1\"><p:c/></bag>", "bag",
       "<x p:a=\"1\">\n<p:c/>\n</x>"},
  };
  for (const LoadCase& c : cases) {
    BagRef bag = NewBag();
    EXPECT_EQ(LoadBagFromXML(VString(c.xml), VString(c.root), *bag, 0), VE_OK) << c.name;
    EXPECT_EQ(Dump(*bag), c.expected) << c.name;
  }
}

TEST(VValueBagXMLIO, LoadingMergesIntoTheTarget) {
  BagRef bag = NewBag();
  bag->SetString("a", VString("old"));
  bag->SetString("keep", VString("k"));
  bag->SetCData(VString("t1"));
  BagRef existing = NewBag();
  bag->AddElement("c", existing.Get());
  EXPECT_EQ(LoadBagFromXML(VString("<r a=\"new\">t2<c n=\"2\"/></r>"), VString("r"), *bag, 0),
            VE_OK);
  EXPECT_EQ(Dump(*bag), "<x a=\"new\" keep=\"k\">\n<c/>\n<c n=\"2\"/>t1t2</x>");
}

TEST(VValueBagXMLIO, LoadingMalformedXMLReportsTheParseError) {
  ErrorCollector errors;
  BagRef bag = NewBag();
  EXPECT_EQ(LoadBagFromXML(VString("<r>\n<a></b></r>"), VString("r"), *bag, 0), kXMLFatal);
  EXPECT_TRUE(HasError(errors.Errors(), kXMLFatal, "line", "2"));
}

}  // namespace
}  // namespace zeft

namespace zeft {
namespace {

TEST(VValueBagXMLFile, ConnectionFileBytesAndReadingBack) {
  test::TempFolder temp;
  const std::string path = temp.Path("RivivavUdevar.Roridevu");
  VRefPtr<VFile> file = test::FileAt(path);
  BagRef bag(new VValueBag, kAdoptRef);
  bag->SetString("host", VString(u"s\u00E9rver"));
  bag->SetLong("port", 19812);
  ASSERT_EQ(WriteBagToFileInXML(*bag, VString("database_shortcut"), file.Get(), false), VE_OK);
  EXPECT_EQ(test::ReadWholeFile(path),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<database_shortcut host=\"s\xC3\xA9rver\" port=\"19812\"/>");
  EXPECT_EQ(WriteBagToFileInXML(*bag, VString("database_shortcut"), nullptr, false), VE_OK);

  BagRef read(new VValueBag, kAdoptRef);
  EXPECT_EQ(LoadBagFromXML(file.Get(), VString("DATABASE_SHORTCUT"), *read, 0), VE_OK);
  VString host;
  EXPECT_TRUE(read->GetString("host", host));
  EXPECT_EQ(test::Text(host), u"s\u00e9rver");

  // A file that cannot be read answers its reading error.
  test::ErrorCollector errors;
  BagRef none(new VValueBag, kAdoptRef);
  EXPECT_NE(LoadBagFromXML(test::FileAt(temp.Path("missing")).Get(), VString(), *none, 0), VE_OK);
  VXMLParser parser;
  EXPECT_FALSE(parser.Parse(static_cast<const IFile*>(nullptr), nullptr, 0));
}

TEST(VValueBagXMLFile, FailedStoreDeletesTheFile) {
  test::TempFolder temp;
  const std::string path = temp.Write("RivivavUdevar.Roridevu", "old content");
  BagRef bag(new VValueBag, kAdoptRef);
  bag->SetString("host", VString(std::string(4096, 'x').c_str()));
  // Writes past 16 bytes fail (EFBIG) in this process while the limit holds.
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  test::ErrorCollector errors;
  const VError error =
      WriteBagToFileInXML(*bag, VString("database_shortcut"), test::FileAt(path).Get(), false);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);
  EXPECT_NE(error, VE_OK);
  EXPECT_FALSE(test::ItemExists(path));
}

}  // namespace
}  // namespace zeft

namespace zeft {
namespace {

TEST(VXMLEntities, ResolvedOnlyToFilesInsideTheEntitiesFolder) {
  test::TempFolder temp;
  temp.Write("ents/sub/part.xml", "<c x=\"2\"/>");
  temp.Write("secret.xml", "<c x=\"secret\"/>");
  VRefPtr<VFolder> folder(new VFolder(test::PosixFilePath(temp.Path("ents/"))), kAdoptRef);
  const VString prefix("http://Example.com/ents/");
  struct Case {
    const char* systemID;
    bool resolved;
  };
  const Case cases[] = {
      {"http://example.com/ents/sub/part.xml", true},
      {"http://other/ents/sub/part.xml", false},
      {"http://example.com/ents/../secret.xml", false},
      {"http://example.com/ents/sub//part.xml", false},
      {"http://example.com/ents/sub/./part.xml", false},
      {"http://example.com/ents/a:b.xml", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.systemID);
    VRefPtr<VFile> file(
        VXMLParser::ResolveEntityFromFolder(prefix, folder.Get(), VString(c.systemID)), kAdoptRef);
    EXPECT_EQ(bool(file), c.resolved);
    if (file) {
      EXPECT_TRUE(file->Exists());
    }

    const std::string xml =
        std::string("<!DOCTYPE r [<!ENTITY ext SYSTEM \"") + c.systemID + "\">]><r>&ext;</r>";
    test::ErrorCollector errors;
    BagRef bag(new VValueBag, kAdoptRef);
    const VError error = LoadBagFromXML(VString(xml.c_str()), VString("r"), *bag,
                                        kXMLParseNeverValidate, &prefix, folder.Get());
    EXPECT_EQ(error == VE_OK, c.resolved);
    EXPECT_EQ(bag->GetElements("c") != nullptr, c.resolved);
  }
  EXPECT_EQ(VXMLParser::ResolveEntityFromFolder(prefix, nullptr, prefix), nullptr);
}

}  // namespace
}  // namespace zeft
