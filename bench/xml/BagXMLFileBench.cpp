// The bytes of a bag's XML file (declaration, root element, 10,000
// attributes, UTF-8) written into a memory stream, against libxml2's text
// writer writing the same document into a memory buffer.
#include <benchmark/benchmark.h>
#include <libxml/xmlwriter.h>

#include <string>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VString.h"
#include "files/VPtrStream.h"
#include "values/VValueBag.h"
#include "xml/VValueBagXMLIO.h"

namespace zeft {
namespace {

constexpr int kAttributeCount = 10000;

struct Attribute {
  std::string name;
  std::string value;
};

// Texts of which some need escaping and some are not ASCII.
std::vector<Attribute> MakeAttributes() {
  std::vector<Attribute> attributes;
  for (int i = 0; i < kAttributeCount; ++i) {
    Attribute a;
    a.name = "attribute_" + std::to_string(i);
    switch (i % 3) {
      case 0:
        a.value = "plain value " + std::to_string(i);
        break;
      case 1:
        a.value = "a < b & \"c\" " + std::to_string(i);
        break;
      default:
        a.value = "caf\xC3\xA9 \xE4\xB8\xAD " + std::to_string(i);
        break;
    }
    attributes.push_back(a);
  }
  return attributes;
}

void BM_WriteBagXMLFileBytes(benchmark::State& state) {
  std::vector<Attribute> attributes = MakeAttributes();
  VRefPtr<VValueBag> bag(new VValueBag, kAdoptRef);
  for (const Attribute& a : attributes) {
    bag->SetString(StPackedDictionaryKey(a.name.c_str(), a.name.size()), VString(a.value.c_str()));
  }
  const VString root("database_shortcut");
  int64 bytes = 0;
  for (auto _ : state) {
    VPtrStream stream;
    stream.OpenWriting();
    WriteBagToUTF8StreamInXML(*bag, root, &stream, false);
    stream.CloseWriting();
    const void* data = nullptr;
    stream.GetUnderlyingData(data, bytes);
    benchmark::DoNotOptimize(data);
  }
  state.counters["bytes"] = double(bytes);
}

void BM_LibXml2TextWriterFile(benchmark::State& state) {
  std::vector<Attribute> attributes = MakeAttributes();
  int64 bytes = 0;
  for (auto _ : state) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer, 0);
    xmlTextWriterStartDocument(writer, "1.0", "UTF-8", nullptr);
    xmlTextWriterStartElement(writer, BAD_CAST "database_shortcut");
    for (const Attribute& a : attributes) {
      xmlTextWriterWriteAttribute(writer, BAD_CAST a.name.c_str(), BAD_CAST a.value.c_str());
    }
    xmlTextWriterEndElement(writer);
    xmlTextWriterEndDocument(writer);
    xmlFreeTextWriter(writer);
    bytes = xmlBufferLength(buffer);
    benchmark::DoNotOptimize(xmlBufferContent(buffer));
    xmlBufferFree(buffer);
  }
  state.counters["bytes"] = double(bytes);
}

BENCHMARK(BM_WriteBagXMLFileBytes);
BENCHMARK(BM_LibXml2TextWriterFile);

}  // namespace
}  // namespace zeft
