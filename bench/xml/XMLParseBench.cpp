// Parsing a 2 MB XML document through the toolbox's parser (VXMLParser and
// a handler that counts what it is given), against the Xerces parser the
// toolbox wraps set up the same way (no validation, no namespaces, no
// default entity resolution, the same entity expansion limit) with an
// event handler that counts the same things. Both read the same UTF-8
// bytes from memory; the counts of elements, attributes and text units are
// checked to agree.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include "XercesPeer.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "xml/IXMLHandler.h"
#include "xml/VXMLParser.h"

namespace zeft {
namespace {

struct Counts {
  int64_t elements = 0, attributes = 0, textUnits = 0;
  bool operator==(const Counts& other) const {
    return elements == other.elements && attributes == other.attributes &&
           textUnits == other.textUnits;
  }
};

// A catalogue of items of varied shape: attributes, texts with entity
// references and characters outside ASCII, optional and repeated children.
std::string Document() {
  std::mt19937 random(7);
  auto below = [&random](int n) { return int(random() % uint32_t(n)); };
  static const char* const kWords[] = {
      "concert", "Orchestre", "Arri\xC3\xA8re-sc\xC3\xA8ne", "op\xC3\xA9ra",
      "&amp;",   "&lt;b&gt;", "\xD0\xBC\xD0\xB8\xD1\x80",    "\xE5\x90\x8D\xE5\x89\x8D",
      "tickets", "tonight"};
  auto words = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      if (i > 0) text += ' ';
      text += kWords[below(10)];
      if (below(3) == 0) text += std::to_string(below(10000));
    }
    return text;
  };
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog version=\"2\">\n";
  for (int item = 0; xml.size() < 2 * 1000 * 1000; ++item) {
    xml += "  <item id=\"" + std::to_string(138586341 + item) + "\" kind=\"" +
           (below(2) == 0 ? "event" : "performance") + "\"";
    if (below(3) == 0) xml += " date=\"2014-08-" + std::to_string(10 + below(20)) + "\"";
    xml += ">\n    <name>" + words(1 + below(4)) + "</name>\n";
    if (below(2) == 0) xml += "    <description>" + words(5 + below(30)) + "</description>\n";
    for (int price = below(4); price > 0; --price) {
      xml += "    <price currency=\"EUR\" category=\"" + std::to_string(338937295 + below(30)) +
             "\">" + std::to_string(50 + below(400)) + "." + std::to_string(10 + below(90)) +
             "</price>\n";
    }
    if (below(2) == 0) {
      xml += "    <tags>";
      for (int tag = 1 + below(5); tag > 0; --tag) xml += "<tag>" + words(1) + "</tag>";
      xml += "</tags>\n";
    }
    if (below(5) == 0) xml += "    <!-- " + words(3) + " -->\n    <empty flag=\"yes\"/>\n";
    xml += "  </item>\n";
  }
  return xml + "</catalog>\n";
}

const std::string& TheDocument() {
  static const std::string sDocument = Document();
  return sDocument;
}

class CountingHandler : public VObject, public IXMLHandler {
 public:
  explicit CountingHandler(Counts& counts) : fCounts(counts) {}
  IXMLHandler* StartElement(const VString&) override {
    ++fCounts.elements;
    Retain();
    return this;
  }
  void SetAttribute(const VString&, const VString&) override { ++fCounts.attributes; }
  void SetText(const VString& text) override { fCounts.textUnits += text.GetLength(); }

 private:
  Counts& fCounts;
};

class CountingDocumentHandler : public bench::XercesEventsBase {
 public:
  explicit CountingDocumentHandler(Counts& counts) : fCounts(counts) {}
  void startElement(const xercesc::XMLElementDecl&, const unsigned int, const XMLCh* const,
                    const xercesc::RefVectorOf<xercesc::XMLAttr>& attributes,
                    const XMLSize_t attributeCount, const bool, const bool) override {
    ++fCounts.elements;
    for (XMLSize_t i = 0; i < attributeCount; ++i)
      if (attributes.elementAt(i)->getSpecified()) ++fCounts.attributes;
  }
  void docCharacters(const XMLCh* const, const XMLSize_t length, const bool) override {
    fCounts.textUnits += int64_t(length);
  }

 private:
  Counts& fCounts;
};

Counts CountWithXerces(const std::string& xml) {
  Counts counts;
  xercesc::SAXParser parser;
  xercesc::SecurityManager security;
  bench::SetUpAsTheToolbox(parser, security);
  CountingDocumentHandler handler(counts);
  parser.installAdvDocHandler(&handler);
  xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(),
                                    "bench", false);
  parser.parse(source);
  if (parser.getErrorCount() != 0) counts.elements = -1;
  return counts;
}

Counts CountWithToolbox(const std::string& xml) {
  Counts counts;
  VRefPtr<CountingHandler> handler(new CountingHandler(counts), kAdoptRef);
  VXMLParser parser;
  if (!parser.Parse(xml.data(), xml.size(), handler.Get(), kXMLParseNeverValidate))
    counts.elements = -1;
  return counts;
}

// Both parsers give the same counts, checked once.
bool SameCounts() {
  static const bool sSame = [] {
    const Counts ours = CountWithToolbox(TheDocument());
    return ours.elements > 0 && ours == CountWithXerces(TheDocument());
  }();
  return sSame;
}

void BM_ParseXMLToolbox(benchmark::State& state) {
  VXMLParser::Init();
  if (SameCounts()) {
    for (auto _ : state) benchmark::DoNotOptimize(CountWithToolbox(TheDocument()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(TheDocument().size()));
  } else {
    state.SkipWithError("the parsers did not see the same document");
  }
  VXMLParser::DeInit();
}

void BM_ParseXMLXercesSAX(benchmark::State& state) {
  VXMLParser::Init();
  if (SameCounts()) {
    for (auto _ : state) benchmark::DoNotOptimize(CountWithXerces(TheDocument()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(TheDocument().size()));
  } else {
    state.SkipWithError("the parsers did not see the same document");
  }
  VXMLParser::DeInit();
}

BENCHMARK(BM_ParseXMLToolbox)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseXMLXercesSAX)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zeft
