// The document-tree wrapper: parsing, navigation, typed values, attributes
// and ids, serialisation, event replay, and bags written into trees.
#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include <string>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VString.h"
#include "files/FileTestSupport.h"
#include "files/VFileStream.h"
#include "files/VURL.h"
#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"
#include "support/TempFolder.h"
#include "values/VBlobWithPtr.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VValueBag.h"
#include "xml/HostileDocuments.h"
#include "xml/IXMLDomWrapper.h"
#include "xml/RecordingHandler.h"
#include "xml/VValueBagXMLIO.h"
#include "xml/VXMLParser.h"

namespace zeft {
namespace {

using test::Recorder;
using DOM = IXMLDomWrapper;

// Owns a parsed document for the length of a test.
class Document {
 public:
  explicit Document(const std::string& xml, const VString* encoding = nullptr)
      : fNode(DOM::CreateNodeDocumentFromBuffer(xml.data(), xml.size(), encoding)) {}
  ~Document() { DOM::ReleaseNode(fNode); }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  VXMLDOMNode_opaque* Node() const { return fNode; }
  VXMLDOMElement_opaque* Root() const { return DOM::GetRootNodeElement(fNode); }

 private:
  VXMLDOMNode_opaque* fNode;
};

std::string Serialize(VXMLDOMNode_opaque* node, bool pretty) {
  VBlobWithPtr blob;
  size_t size = 0;
  EXPECT_TRUE(DOM::SerializeToBlob(node, &blob, 0, size, pretty));
  EXPECT_EQ(size, size_t(blob.GetSize()));
  return std::string(static_cast<const char*>(blob.GetDataPtr()), size);
}

VXMLDOMElement_opaque* Child(VXMLDOMNode_opaque* node, int32 index) {
  return DOM::GetNodeElement(DOM::GetChildNode(node, index));
}

TEST(IXMLDomWrapper, ParsesAndNavigates) {
  Document doc("<?xml version=\"1.0\"?><r a=\"1\">t<c>x</c><!--n--><p:d xmlns:p=\"u:p\"/></r>");
  ASSERT_NE(doc.Node(), nullptr);
  VXMLDOMElement_opaque* root = doc.Root();
  VString name;
  DOM::GetNodeElementName(root, name);
  EXPECT_EQ(to_string(name), "r");
  VXMLDOMNode_opaque* rootNode = DOM::GetNodeFromNodeElement(root);
  EXPECT_EQ(DOM::GetNumberOfChildrenNodes(rootNode), 4);
  EXPECT_EQ(DOM::GetNodeElement(DOM::GetChildNode(rootNode, 0)), nullptr);  // text
  DOM::GetNodeElementName(Child(rootNode, 3), name);
  EXPECT_EQ(to_string(name), "p:d");
  EXPECT_EQ(DOM::GetChildNode(rootNode, 4), nullptr);
  EXPECT_EQ(DOM::GetChildNode(rootNode, -1), nullptr);
  EXPECT_EQ(DOM::GetNodeDocument(rootNode), DOM::GetNodeDocument(doc.Node()));
  EXPECT_EQ(DOM::GetNodeDocument(nullptr), nullptr);

  EXPECT_EQ(DOM::CreateNodeDocumentFromBuffer("<r><x></r>", 10, nullptr), nullptr);
}

TEST(IXMLDomWrapper, CloneNeedsTheDocumentNode) {
  Document doc("<r a=\"1\"><c>x</c></r>");
  // Any other node gives null instead of a wrong cast.
  EXPECT_EQ(DOM::CloneNodeDocument(DOM::GetNodeFromNodeElement(doc.Root())), nullptr);
  VXMLDOMNode_opaque* clone = DOM::CloneNodeDocument(doc.Node());
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone, doc.Node());
  EXPECT_EQ(Serialize(clone, false), Serialize(doc.Node(), false));
  DOM::ReleaseNode(clone);
  VXMLDOMDocument_opaque* copy = DOM::CloneNodeDocument(DOM::GetNodeDocument(doc.Node()));
  ASSERT_NE(copy, nullptr);
  DOM::ReleaseNode(reinterpret_cast<VXMLDOMNode_opaque*>(copy));
}

TEST(IXMLDomWrapper, SerializesWithCarriageReturnsInEveryUnicodeForm) {
  Document doc("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><c>a\nb</c></r>");
  EXPECT_EQ(Serialize(doc.Node(), false),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?><r><c>a\rb</c></r>");
  const std::string pretty = Serialize(doc.Node(), true);
  EXPECT_EQ(pretty.find('\n'), std::string::npos);
  EXPECT_NE(pretty.find("\r  <c>a\rb</c>\r"), std::string::npos) << pretty;

  Document wide("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>a\r\nb</r>");
  ASSERT_NE(wide.Node(), nullptr);
  const std::string utf16 = Serialize(wide.Node(), false);
  const std::u16string expected = u"<r>a\rb</r>";
  EXPECT_NE(
      utf16.find(std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2)),
      std::string::npos);
  EXPECT_EQ(utf16.find(std::string("\n\0", 2)), std::string::npos);

  // Other encodings keep the serializer's line ends.
  Document latin("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xE9\n</r>");
  const std::string latinText = Serialize(latin.Node(), false);
  EXPECT_NE(latinText.find("<r>\xE9\n</r>"), std::string::npos) << latinText;
}

TEST(IXMLDomWrapper, WrittenToFilesAndStreams) {
  test::TempFolder temp;
  Document doc("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r a=\"1\"><c>t</c></r>");
  const std::string expected = Serialize(doc.Node(), false);
  const std::string path = temp.Write("doc.xml", "an older and longer content than the document");
  auto file = test::FileAt(path);
  EXPECT_TRUE(DOM::WriteToFile(doc.Node(), *file, false));
  EXPECT_EQ(test::ReadWholeFile(path), expected);
  // A file that cannot be made is a failure.
  EXPECT_FALSE(DOM::WriteToFile(doc.Node(), *test::FileAt(temp.Path("none/doc.xml")), false));

  auto streamed = test::FileAt(temp.Write("stream.xml", ""));
  VFileStream stream(streamed.Get(), 8);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  size_t size = 0;
  EXPECT_TRUE(DOM::SerializeToFile(doc.Node(), stream, size, false));
  EXPECT_EQ(stream.CloseWriting(), VE_OK);
  EXPECT_EQ(size, expected.size());
  EXPECT_EQ(test::ReadWholeFile(temp.Path("stream.xml")), expected);
}

TEST(IXMLDomWrapper, DocumentURLComesFromTheDocumentURI) {
  Document doc("<r/>");
  VURL url;
  EXPECT_FALSE(DOM::GetDocumentURL(doc.Node(), url));
  auto* document = static_cast<xercesc::DOMDocument*>(
      reinterpret_cast<xercesc::DOMNode*>(DOM::GetNodeDocument(doc.Node())));
  document->setDocumentURI(test::Str(u"file:///tmp/a%20b.xml").GetCPointer());
  EXPECT_TRUE(DOM::GetDocumentURL(doc.Node(), url));
  VString text;
  url.GetAbsoluteURL(text, false);
  EXPECT_FALSE(text.IsEmpty());
}

TEST(IXMLDomWrapper, CopyToBlobConvertsLineEndsByUnitWidth) {
  // Driven through serialisation of a document declared in each width.
  for (const char* encoding : {"UTF-8", "UTF-16", "UCS-4"}) {
    Document doc(std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                 "\"?><r>1\r\n2\r3\n4</r>");
    ASSERT_NE(doc.Node(), nullptr) << encoding;
    const std::string bytes = Serialize(doc.Node(), false);
    EXPECT_EQ(bytes.find('\n'), std::string::npos) << encoding;
  }
}

TEST(IXMLDomWrapper, IdsAreRegisteredForPlainAndXMLPrefixedNames) {
  Document doc("<r><a xml:id=\"k\"/><b id=\"m\"/><c/></r>");
  ASSERT_NE(doc.Node(), nullptr);
  VXMLDOMElement_opaque* c = Child(DOM::GetNodeFromNodeElement(doc.Root()), 2);
  EXPECT_TRUE(DOM::SetNodeElementAttribute(c, VString("p:id"), VString("n"), false));
  EXPECT_EQ(DOM::FindNodeElementByID(doc.Node(), VString("k")), nullptr);
  DOM::RegisterNodeIDs(doc.Node());
  VString name;
  DOM::GetNodeElementName(DOM::FindNodeElementByID(doc.Node(), VString("k")), name);
  EXPECT_EQ(to_string(name), "a");
  DOM::GetNodeElementName(DOM::FindNodeElementByID(doc.Node(), VString("m")), name);
  EXPECT_EQ(to_string(name), "b");
  // An undeclared prefix names no namespace, and "p:id" is not "id".
  EXPECT_EQ(DOM::FindNodeElementByID(doc.Node(), VString("n")), nullptr);

  bool isID = false;
  EXPECT_TRUE(DOM::SetNodeElementAttribute(c, VString("id"), VString("z"), false, &isID));
  EXPECT_TRUE(isID);
  EXPECT_EQ(DOM::FindNodeElementByID(doc.Node(), VString("z")), c);
}

TEST(IXMLDomWrapper, AttributesWithAndWithoutNamespaces) {
  Document doc("<r xmlns:p=\"u:p\" p:a=\"1\" b=\"2\"/>");
  VXMLDOMElement_opaque* root = doc.Root();
  // q names no namespace: the attribute is set under its whole name.
  EXPECT_TRUE(DOM::SetNodeElementAttribute(root, VString("q:c"), VString("3"), false));
  VString value("untouched");
  EXPECT_TRUE(DOM::GetNodeElementAttribute(root, VString("p:a"), value));
  EXPECT_EQ(to_string(value), "1");
  // An undeclared prefix: looked up by the whole name.
  EXPECT_TRUE(DOM::GetNodeElementAttribute(root, VString("q:c"), value));
  EXPECT_EQ(to_string(value), "3");
  value = VString("untouched");
  EXPECT_FALSE(DOM::GetNodeElementAttribute(root, VString("missing"), value));
  EXPECT_EQ(to_string(value), "untouched");
  EXPECT_FALSE(DOM::GetNodeElementAttribute(nullptr, VString("b"), value));

  // Empty values remove with removeIfEmpty, prefixed or not, else set "".
  EXPECT_TRUE(DOM::SetNodeElementAttribute(root, VString("p:a"), VString(), true));
  EXPECT_TRUE(DOM::SetNodeElementAttribute(root, VString("b"), VString(), true));
  EXPECT_FALSE(DOM::GetNodeElementAttribute(root, VString("p:a"), value));
  EXPECT_FALSE(DOM::GetNodeElementAttribute(root, VString("b"), value));
  EXPECT_TRUE(DOM::SetNodeElementAttribute(root, VString("e"), VString(), false));
  EXPECT_TRUE(DOM::GetNodeElementAttribute(root, VString("e"), value));
  EXPECT_EQ(to_string(value), "");
  EXPECT_TRUE(DOM::SetNodeElementAttribute(root, VString("p:n"), VString("v"), false));
  EXPECT_NE(Serialize(doc.Node(), false).find("p:n=\"v\""), std::string::npos);
  EXPECT_FALSE(DOM::SetNodeElementAttribute(nullptr, VString("e"), VString("v"), false));
  // A name that is no XML name is refused, not thrown.
  EXPECT_FALSE(DOM::SetNodeElementAttribute(root, VString("<>"), VString("v"), false));
}

TEST(IXMLDomWrapper, ElementsHoldTypedValues) {
  Document doc("<r xmlns:p=\"u:p\"><old><x/><y/></old></r>");
  VXMLDOMElement_opaque* root = doc.Root();
  VXMLDOMElement_opaque* flag = DOM::AddNodeElement(root, VString("flag"), true);
  VXMLDOMElement_opaque* count = DOM::AddNodeElement(root, VString("count"), int32(-42));
  VXMLDOMElement_opaque* ratio = DOM::AddNodeElement(root, VString("ratio"), 2.5);
  VTime when;
  when.FromUTCTime(2024, 2, 29, 13, 14, 15, 0);
  VXMLDOMElement_opaque* time = DOM::AddNodeElement(root, VString("when"), when, 0);
  VXMLDOMElement_opaque* span = DOM::AddNodeElement(root, VString("span"), VDuration(90000), 0);
  VXMLDOMElement_opaque* prefixed = DOM::AddNodeElement(root, VString("p:e"));
  ASSERT_NE(prefixed, nullptr);

  EXPECT_TRUE(DOM::GetNodeElementValueBoolean(flag));
  EXPECT_EQ(DOM::GetNodeElementValueLong(count), -42);
  EXPECT_EQ(DOM::GetNodeElementValueReal(ratio), 2.5);
  VTime readTime;
  DOM::GetNodeElementValueTime(time, readTime);
  EXPECT_EQ(readTime.GetMilliseconds(), when.GetMilliseconds());
  VDuration readSpan;
  DOM::GetNodeElementValueDuration(span, readSpan);
  EXPECT_EQ(readSpan.GetLong8OrMilliSeconds(), 90000);

  // Value objects: kinds without a text form here make nothing.
  VLong eight(8);
  EXPECT_NE(DOM::AddNodeElement(root, VString("v"), &eight), nullptr);
  VLong8 big(8);
  const int32 before = DOM::GetNumberOfChildrenNodes(DOM::GetNodeFromNodeElement(root));
  EXPECT_EQ(DOM::AddNodeElement(root, VString("w"), &big), nullptr);
  EXPECT_EQ(DOM::GetNumberOfChildrenNodes(DOM::GetNodeFromNodeElement(root)), before);

  // Replacing the text of an element whose first child is an element.
  VXMLDOMElement_opaque* old = Child(DOM::GetNodeFromNodeElement(root), 0);
  DOM::SetNodeElementValue(old, VString("new"));
  EXPECT_EQ(DOM::GetNumberOfChildrenNodes(DOM::GetNodeFromNodeElement(old)), 1);
  VString text;
  DOM::GetNodeElementValueString(old, text);
  EXPECT_EQ(to_string(text), "new");
  DOM::SetNodeElementValue(old, int32(7));
  EXPECT_EQ(DOM::GetNodeElementValueLong(old), 7);

  const std::string xml = Serialize(doc.Node(), false);
  EXPECT_NE(xml.find("<flag>true</flag><count>-42</count><ratio>2.5</ratio>"), std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<p:e/>"), std::string::npos) << xml;
}

TEST(IXMLDomWrapper, CDataIsReadFromTheFirstChild) {
  Document doc("<r><a><![CDATA[<x>]]></a><b>t</b></r>");
  VString text("x");
  DOM::GetNodeElementCDATA(Child(DOM::GetNodeFromNodeElement(doc.Root()), 0), text);
  EXPECT_EQ(to_string(text), "<x>");
  DOM::GetNodeElementCDATA(Child(DOM::GetNodeFromNodeElement(doc.Root()), 1), text);
  EXPECT_EQ(to_string(text), "");
}

TEST(IXMLDomWrapper, ReplayGivesTheEventsOfTheEventParser) {
  const std::string xml =
      "<?xml-stylesheet href=\"s.xsl\"?><a x=\"1\">hi<b z=\"2\"/><skip k=\"v\"><d/></skip>"
      "<![CDATA[c]]><?pi data?></a>";
  std::vector<std::string> parsed;
  std::vector<std::string> replayed;
  int alive = 0;
  {
    VRefPtr<Recorder> root(new Recorder(&parsed, &alive, "root"), kAdoptRef);
    VXMLParser parser;
    EXPECT_TRUE(parser.Parse(xml.data(), xml.size(), root.Get(), 0));
  }
  {
    Document doc(xml);
    VRefPtr<Recorder> root(new Recorder(&replayed, &alive, "root"), kAdoptRef);
    DOM::Parse(doc.Node(), root.Get());
  }
  EXPECT_EQ(replayed, parsed);
  EXPECT_EQ(alive, 0);
}

TEST(IXMLDomWrapper, HostileDocumentsGiveNull) {
  const std::string laughs = test::BillionLaughs();
  EXPECT_EQ(DOM::CreateNodeDocumentFromBuffer(laughs.data(), laughs.size(), nullptr), nullptr);

  const std::string deep = test::Nested(5000);
  EXPECT_EQ(DOM::CreateNodeDocumentFromBuffer(deep.data(), deep.size(), nullptr), nullptr);

  const std::string external =
      "<!DOCTYPE a [<!ENTITY s SYSTEM \"file:///etc/hostname\">]><a>&s;</a>";
  VXMLDOMNode_opaque* doc =
      DOM::CreateNodeDocumentFromBuffer(external.data(), external.size(), nullptr);
  if (doc != nullptr) {
    VString text;
    DOM::GetNodeElementValueString(DOM::GetRootNodeElement(doc), text);
    EXPECT_TRUE(text.IsEmpty());
    DOM::ReleaseNode(doc);
  }
}

TEST(IXMLDomWrapper, BagsWriteIntoAndReadFromTrees) {
  VRefPtr<VValueBag> bag(new VValueBag, kAdoptRef);
  bag->SetString("name", VString("n & m"));
  bag->SetLong("count", 3);
  bag->SetCData(VString("some <text>"));
  VRefPtr<VValueBag> child(new VValueBag, kAdoptRef);
  child->SetBool("on", true);
  bag->AddElement("child", child.Get());
  VRefPtr<VValueBag> grandChild(new VValueBag, kAdoptRef);
  child->AddElement("leaf", grandChild.Get());

  Document doc("<root/>");
  std::vector<VXMLDOMNode_opaque*> created;
  EXPECT_EQ(WriteBagToDomXML(*bag, DOM::GetNodeFromNodeElement(doc.Root()), &created), VE_OK);
  ASSERT_EQ(created.size(), 2u);
  VString name;
  DOM::GetNodeElementName(DOM::GetNodeElement(created[1]), name);
  EXPECT_EQ(to_string(name), "leaf");
  // The character data is the element's text, not an attribute.
  EXPECT_NE(Serialize(doc.Node(), false)
                .find("<root count=\"3\" name=\"n &amp; m\">some &lt;text&gt;<child on=\"true\">"
                      "<leaf/></child></root>"),
            std::string::npos)
      << Serialize(doc.Node(), false);

  VRefPtr<VValueBag> read(new VValueBag, kAdoptRef);
  EXPECT_EQ(ReadBagFromDomXML(DOM::GetNodeFromNodeElement(doc.Root()), *read), VE_OK);
  VString text;
  EXPECT_TRUE(read->GetCData(text));
  EXPECT_EQ(to_string(text), "some <text>");
  EXPECT_TRUE(read->GetString("name", text));
  EXPECT_EQ(to_string(text), "n & m");
  ASSERT_NE(read->GetUniqueElement("child"), nullptr);
  EXPECT_NE(read->GetUniqueElement("child")->GetUniqueElement("leaf"), nullptr);

  // Nodes that are not elements.
  EXPECT_EQ(ReadBagFromDomXML(doc.Node(), *read), MakeVError(kComponentXML, 2));
  EXPECT_EQ(WriteBagToDomXML(*bag, doc.Node()), ToolboxError(toolbox_error::kInvalidParameter));
}

}  // namespace
}  // namespace zeft
