// The XML text of a bag of 1,000 attributes against libxml2's text writer
// writing the same element into a memory buffer. Both are handed the same
// values, the numbers as numbers: each formats its own (whole numbers as
// integers, others with 14 significant digits, as the bag writes them), the
// peer with std::to_chars, the quickest formatter the C++ library has.
#include <benchmark/benchmark.h>
#include <libxml/xmlwriter.h>

#include <charconv>
#include <string>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VString.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

constexpr int kAttributeCount = 1000;

struct Attribute {
  std::string name;
  int32 number = 0;  // every third attribute
  double real = 0;   // every third attribute
  std::string text;  // the others
};

// Every third attribute a number, every third a real, the others texts of
// which some need escaping.
std::vector<Attribute> MakeAttributes() {
  std::vector<Attribute> attributes;
  for (int i = 0; i < kAttributeCount; ++i) {
    Attribute a;
    a.name = "attribute_" + std::to_string(i);
    switch (i % 3) {
      case 0:
        a.number = i * 7919;
        break;
      case 1:
        a.real = i + 0.5;
        break;
      default:
        a.text = (i % 2 == 0) ? "plain value " + std::to_string(i)
                              : "a < b & \"c\" " + std::to_string(i);
        break;
    }
    attributes.push_back(a);
  }
  return attributes;
}

VRefPtr<VValueBag> MakeBag(const std::vector<Attribute>& attributes) {
  VRefPtr<VValueBag> bag(new VValueBag, kAdoptRef);
  for (int i = 0; i < kAttributeCount; ++i) {
    const Attribute& a = attributes[size_t(i)];
    StPackedDictionaryKey key(a.name.c_str(), a.name.size());
    switch (i % 3) {
      case 0:
        bag->SetLong(key, a.number);
        break;
      case 1:
        bag->SetReal(key, a.real);
        break;
      default:
        bag->SetString(key, VString(a.text.c_str()));
        break;
    }
  }
  return bag;
}

void BM_BagDumpXML(benchmark::State& state) {
  std::vector<Attribute> attributes = MakeAttributes();
  VRefPtr<VValueBag> bag = MakeBag(attributes);
  VString name("record");
  for (auto _ : state) {
    VString out;
    bag->DumpXML(out, name, true);
    benchmark::DoNotOptimize(out.GetCPointer());
  }
}

void BM_LibXml2TextWriter(benchmark::State& state) {
  std::vector<Attribute> attributes = MakeAttributes();
  for (auto _ : state) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer, 0);
    xmlTextWriterStartElement(writer, BAD_CAST "record");
    for (size_t i = 0; i < attributes.size(); ++i) {
      const Attribute& a = attributes[i];
      // The numbers formatted into a local buffer (the writer's own
      // formatted form allocates per call).
      char number[32];
      const char* value = number;
      switch (i % 3) {
        case 0:
          *std::to_chars(number, number + sizeof number - 1, a.number).ptr = '\0';
          break;
        case 1:
          *std::to_chars(number, number + sizeof number - 1, a.real, std::chars_format::general, 14)
               .ptr = '\0';
          break;
        default:
          value = a.text.c_str();
          break;
      }
      xmlTextWriterWriteAttribute(writer, BAD_CAST a.name.c_str(), BAD_CAST value);
    }
    xmlTextWriterEndElement(writer);
    xmlFreeTextWriter(writer);
    benchmark::DoNotOptimize(xmlBufferContent(buffer));
    xmlBufferFree(buffer);
  }
}

BENCHMARK(BM_BagDumpXML);
BENCHMARK(BM_LibXml2TextWriter);

}  // namespace
}  // namespace zeft
