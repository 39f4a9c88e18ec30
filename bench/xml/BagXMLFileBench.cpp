// The bytes of a bag's XML file (declaration, root element, 10,000
// attributes, UTF-8) written into a memory stream, against libxml2's text
// writer writing the same document into a memory buffer: UTF-8 in and out
// on both sides, the row to quote for writing a bag. A third of the values
// are whole numbers and a third reals, which the peer formats with
// std::to_chars (14 significant digits, as the bag writes them).
#include <benchmark/benchmark.h>
#include <libxml/xmlwriter.h>

#include <charconv>
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
  int kind = 0;  // 0 text, 1 whole number, 2 real
  std::string value;
  int32 number = 0;
  double real = 0;
};

// Texts of which some need escaping and some are not ASCII.
std::vector<Attribute> MakeAttributes() {
  std::vector<Attribute> attributes;
  for (int i = 0; i < kAttributeCount; ++i) {
    Attribute a;
    a.name = "attribute_" + std::to_string(i);
    a.kind = i % 3;
    switch (i % 9) {
      case 0:
        a.value = "plain value " + std::to_string(i);
        break;
      case 3:
        a.value = "a < b & \"c\" " + std::to_string(i);
        break;
      case 6:
        a.value = "caf\xC3\xA9 \xE4\xB8\xAD " + std::to_string(i);
        break;
      default:
        a.number = i * 7919;
        a.real = i + 0.25;
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
    const StPackedDictionaryKey key(a.name.c_str(), a.name.size());
    if (a.kind == 1)
      bag->SetLong(key, a.number);
    else if (a.kind == 2)
      bag->SetReal(key, a.real);
    else
      bag->SetString(key, VString(a.value.c_str()));
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
      char number[32];
      const char* value = number;
      if (a.kind == 1)
        *std::to_chars(number, number + sizeof number - 1, a.number).ptr = '\0';
      else if (a.kind == 2)
        *std::to_chars(number, number + sizeof number - 1, a.real, std::chars_format::general, 14)
             .ptr = '\0';
      else
        value = a.value.c_str();
      xmlTextWriterWriteAttribute(writer, BAD_CAST a.name.c_str(), BAD_CAST value);
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
