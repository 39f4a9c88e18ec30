// What the Xerces peer rows share: a document handler that answers every
// event with nothing (a row's handler overrides only the events its work
// reads), and the parser settings the toolbox's own parser uses.
#pragma once

#include <xercesc/framework/XMLDocumentHandler.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include "xml/VXMLParser.h"

namespace zeft::bench {

// Non-validating, no external DTD, no namespaces, no default entity
// resolution, and the toolbox's limit on entity expansions.
inline void SetUpAsTheToolbox(xercesc::SAXParser& parser, xercesc::SecurityManager& security) {
  parser.setValidationScheme(xercesc::SAXParser::Val_Never);
  parser.setLoadExternalDTD(false);
  parser.setDoNamespaces(false);
  parser.setDisableDefaultEntityResolution(true);
  security.setEntityExpansionLimit(VXMLParser::kMaxEntityExpansions);
  parser.setSecurityManager(&security);
}

class XercesEventsBase : public xercesc::XMLDocumentHandler {
 public:
  void startElement(const xercesc::XMLElementDecl&, const unsigned int, const XMLCh* const,
                    const xercesc::RefVectorOf<xercesc::XMLAttr>&, const XMLSize_t, const bool,
                    const bool) override {}
  void endElement(const xercesc::XMLElementDecl&, const unsigned int, const bool,
                  const XMLCh* const) override {}
  void docCharacters(const XMLCh* const, const XMLSize_t, const bool) override {}
  void docPI(const XMLCh* const, const XMLCh* const) override {}
  void XMLDecl(const XMLCh* const, const XMLCh* const, const XMLCh* const,
               const XMLCh* const) override {}
  void docComment(const XMLCh* const) override {}
  void ignorableWhitespace(const XMLCh* const, const XMLSize_t, const bool) override {}
  void startDocument() override {}
  void endDocument() override {}
  void resetDocument() override {}
  void startEntityReference(const xercesc::XMLEntityDecl&) override {}
  void endEntityReference(const xercesc::XMLEntityDecl&) override {}
};

}  // namespace zeft::bench
