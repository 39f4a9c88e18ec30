// Loading a 5,000-unit XLIFF file into a localization manager, against
// libxml2's SAX reader reading the same file and keeping each unit's text
// under its resname in a map.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

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

BENCHMARK(BM_LoadXLIFFIntoManager);
BENCHMARK(BM_LibXml2SAXReadXLIFF);

}  // namespace
}  // namespace zeft
