// XML documents built to exhaust a reader: nested entity expansion and deep
// element nesting.
#pragma once

#include <string>

namespace zeft::test {

// Ten levels of entities each referencing the previous one ten times; the
// root element's text (or, with inAttribute, its attribute v) references
// the last level.
inline std::string BillionLaughs(bool inAttribute = false) {
  std::string xml = "<!DOCTYPE a [<!ENTITY l0 \"lol\">";
  for (int i = 1; i <= 9; ++i) {
    xml += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) xml += "&l" + std::to_string(i - 1) + ";";
    xml += "\">";
  }
  return xml + (inAttribute ? "]><a v=\"&l9;\"/>" : "]><a>&l9;</a>");
}

// `depth` nested elements.
inline std::string Nested(int depth) {
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<e>";
  for (int i = 0; i < depth; ++i) xml += "</e>";
  return xml;
}

}  // namespace zeft::test
