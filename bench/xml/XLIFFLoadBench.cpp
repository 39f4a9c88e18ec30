// Loading a 5,000-unit XLIFF file into a localization manager, against
// libxml2's SAX reader reading the same file and keeping each unit's text
// under its resname in a map. For reference (no goal), the Xerces parser
// the manager goes through, doing the SAX reader's work on the file read as
// UTF-16 text as the manager reads it: the part of the load that is the
// library's own.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "XercesPeer.h"
#include "core/DialectCode.h"
#include "core/IRefCountable.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "xml/VLocalizationManager.h"
#include "xml/VXMLParser.h"

namespace zeft {
namespace {

constexpr int kUnitCount = 5000;

// The document, written once per process and removed at its end.
struct XLIFFFile {
  std::string path;
  ~XLIFFFile() { std::remove(path.c_str()); }
};

const std::string& XLIFFPath() {
  static const XLIFFFile sFile{[] {
    std::string path = "/tmp/zeft-xliff-bench-" + std::to_string(::getpid()) + ".xlf";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\">"
           "<file original=\"bench\" source-language=\"en\" target-language=\"en\"><body>\n";
    for (int i = 0; i < kUnitCount; ++i) {
      out << "<trans-unit id=\"" << (i % 100) + 1 << "\" resname=\"Key_" << i
          << "\"><source>Source text number " << i << " &amp; more</source><target>Caf\xC3\xA9 "
          << i << "</target></trans-unit>\n";
    }
    out << "</body></file></xliff>\n";
    return path;
  }()};
  return sFile.path;
}

void BM_LoadXLIFFIntoManager(benchmark::State& state) {
  VFile file(VFilePath(VString(XLIFFPath().c_str()), kFilePathStylePosix));
  // The XML library stays started, as in a process (libxml2 too).
  VXMLParser::Init();
  for (auto _ : state) {
    VRefPtr<VLocalizationManager> manager(new VLocalizationManager(kDialectEnglishUS), kAdoptRef);
    manager->LoadFile(&file, false);
    VString text;
    benchmark::DoNotOptimize(manager->LocalizeStringWithKey(VString("Key_4999"), text));
  }
  VXMLParser::DeInit();
}

// What the SAX callbacks build: resname -> target text.
struct SAXState {
  std::map<std::string, std::string> strings;
  std::string resname;
  std::string text;
  bool inTarget = false;
};

void StartElement(void* context, const xmlChar* name, const xmlChar** attributes) {
  auto* s = static_cast<SAXState*>(context);
  const char* element = reinterpret_cast<const char*>(name);
  if (std::strcmp(element, "trans-unit") == 0) {
    s->resname.clear();
    s->text.clear();
    for (const xmlChar** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
      if (std::strcmp(reinterpret_cast<const char*>(a[0]), "resname") == 0) {
        s->resname = reinterpret_cast<const char*>(a[1]);
      }
    }
  } else if (std::strcmp(element, "target") == 0) {
    s->inTarget = true;
  }
}

void EndElement(void* context, const xmlChar* name) {
  auto* s = static_cast<SAXState*>(context);
  const char* element = reinterpret_cast<const char*>(name);
  if (std::strcmp(element, "target") == 0) {
    s->inTarget = false;
  } else if (std::strcmp(element, "trans-unit") == 0) {
    s->strings[s->resname] = s->text;
  }
}

void Characters(void* context, const xmlChar* text, int length) {
  auto* s = static_cast<SAXState*>(context);
  if (s->inTarget) s->text.append(reinterpret_cast<const char*>(text), size_t(length));
}

void BM_LibXml2SAXReadXLIFF(benchmark::State& state) {
  const std::string& path = XLIFFPath();
  xmlSAXHandler handler;
  std::memset(&handler, 0, sizeof(handler));
  handler.startElement = StartElement;
  handler.endElement = EndElement;
  handler.characters = Characters;
  for (auto _ : state) {
    SAXState s;
    xmlSAXUserParseFile(&handler, &s, path.c_str());
    benchmark::DoNotOptimize(s.strings.find("Key_4999"));
  }
}

// What the Xerces callbacks build: the same map, in the library's UTF-16.
class XercesXLIFFHandler : public bench::XercesEventsBase {
 public:
  std::map<std::u16string, std::u16string> strings;

  void startElement(const xercesc::XMLElementDecl& decl, const unsigned int, const XMLCh* const,
                    const xercesc::RefVectorOf<xercesc::XMLAttr>& attributes,
                    const XMLSize_t attributeCount, const bool, const bool) override {
    const std::u16string_view element(decl.getFullName());
    if (element == u"trans-unit") {
      fResname.clear();
      fText.clear();
      for (XMLSize_t i = 0; i < attributeCount; ++i) {
        const xercesc::XMLAttr* a = attributes.elementAt(i);
        if (std::u16string_view(a->getQName()) == u"resname") fResname = a->getValue();
      }
    } else if (element == u"target") {
      fInTarget = true;
    }
  }
  void endElement(const xercesc::XMLElementDecl& decl, const unsigned int, const bool,
                  const XMLCh* const) override {
    const std::u16string_view element(decl.getFullName());
    if (element == u"target") {
      fInTarget = false;
    } else if (element == u"trans-unit") {
      strings[fResname] = fText;
    }
  }
  void docCharacters(const XMLCh* const text, const XMLSize_t length, const bool) override {
    if (fInTarget) fText.append(text, length);
  }

 private:
  std::u16string fResname;
  std::u16string fText;
  bool fInTarget = false;
};

void BM_XercesSAXReadXLIFF(benchmark::State& state) {
  VFile file(VFilePath(VString(XLIFFPath().c_str()), kFilePathStylePosix));
  VXMLParser::Init();
  for (auto _ : state) {
    VString text;
    file.GetContentAsString(text, kCharSetUTF8, kCRModeNone);
    xercesc::SAXParser parser;
    xercesc::SecurityManager security;
    bench::SetUpAsTheToolbox(parser, security);
    XercesXLIFFHandler handler;
    parser.installAdvDocHandler(&handler);
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.GetCPointer()),
                                      size_t(text.GetLength()) * sizeof(UniChar), "bench", false);
    source.setEncoding(xercesc::XMLUni::fgUTF16LEncodingString);
    parser.parse(source);
    if (parser.getErrorCount() != 0 || handler.strings.size() != size_t(kUnitCount)) {
      state.SkipWithError("the library did not read every unit");
      break;
    }
    benchmark::DoNotOptimize(handler.strings.find(u"Key_4999"));
  }
  VXMLParser::DeInit();
}

BENCHMARK(BM_LoadXLIFFIntoManager);
BENCHMARK(BM_LibXml2SAXReadXLIFF);
BENCHMARK(BM_XercesSAXReadXLIFF);

}  // namespace
}  // namespace zeft
