#include "xml/VXMLParser.h"

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLDocumentHandler.hpp>
#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <deque>
#include <utility>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "files/IFileSystemObject.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorThrow.h"
#include "xml/IXMLHandler.h"
#include "xml/XMLErrors.h"
#include "xml/XercesText.h"

namespace zeft {

namespace {

// The library's event parser, telling where in the document it stands.
class LocatingSAXParser : public xercesc::SAXParser {
 public:
  const xercesc::Locator* GetLocator() const { return getScanner().getLocator(); }
};

// The buffer id of documents given in memory.
constexpr XMLCh kFromMemory[] = u"frommem";

// Turns the library's callbacks into calls on the handler stack. The stack
// holds the handler of every open element, null inside a hidden subtree.
class SAX_Handlers : public xercesc::XMLDocumentHandler,
                     public xercesc::EntityResolver,
                     public xercesc::ErrorHandler {
 public:
  SAX_Handlers(LocatingSAXParser& parser, const VXMLParser& owner, const XMLCh* documentID,
               IXMLHandler* root, uint64 textBudget)
      : fParser(parser), fOwner(owner), fDocumentID(documentID), fTextBudget(textBudget) {
    fStack.emplace_back(root);
  }

  // Thrown out of the library's parse when it must end at once (nesting
  // or expansion too deep); the error is already on the error stack.
  struct Stopped {};

  // XMLDocumentHandler.
  void startElement(const xercesc::XMLElementDecl& decl, const unsigned int /*uriId*/,
                    const XMLCh* const /*prefixName*/,
                    const xercesc::RefVectorOf<xercesc::XMLAttr>& attributes,
                    const XMLSize_t attributeCount, const bool isEmpty,
                    const bool /*isRoot*/) override {
    if (!isEmpty && fStack.size() > size_t(VXMLParser::kMaxNesting)) {
      _Stop(u"element nesting is deeper than the parser allows");
    }
    IXMLHandler* top = fStack.back().Get();
    if (top == nullptr) {
      if (!isEmpty) fStack.emplace_back();
      return;
    }
    const VString& name = _NameOf(decl);
    VRefPtr<IXMLHandler> child(top->StartElement(name), kAdoptRef);
    if (!child) {
      if (!isEmpty) fStack.emplace_back();
      return;
    }
    if (!isEmpty) fStack.push_back(child);
    for (XMLSize_t i = 0; i < attributeCount; ++i) {
      const xercesc::XMLAttr* attribute = attributes.elementAt(i);
      if (!attribute->getSpecified() && !fOwner.ReportsDefaultedAttributes()) continue;
      const XMLCh* value = attribute->getValue();
      const XMLSize_t length = xercesc::XMLString::stringLen(value);
      _Spend(length);
      // The handler reads both texts in place: they stay the library's
      // until the next event, and a handler that keeps one copies it.
      const XMLCh* qName = attribute->getQName();
      child->SetAttribute(Borrowed(qName, xercesc::XMLString::stringLen(qName)),
                          Borrowed(value, length));
    }
    if (isEmpty) child->EndElement(name);
  }

  void endElement(const xercesc::XMLElementDecl& decl, const unsigned int /*uriId*/,
                  const bool /*isRoot*/, const XMLCh* const /*prefixName*/) override {
    if (fStack.size() <= 1) return;
    if (IXMLHandler* top = fStack.back().Get()) top->EndElement(_NameOf(decl));
    fStack.pop_back();
  }

  void docCharacters(const XMLCh* const chars, const XMLSize_t length,
                     const bool /*cdataSection*/) override {
    IXMLHandler* top = fStack.back().Get();
    if (top == nullptr) return;
    _Spend(length);
    // One string for every run: its room is reused from run to run.
    fText.FromUniString(chars, int32(length));
    top->SetText(fText);
  }

  void docPI(const XMLCh* const target, const XMLCh* const data) override {
    if (target == nullptr || data == nullptr) return;
    if (IXMLHandler* top = fStack.back().Get())
      top->processingInstruction(TextOf(target), TextOf(data));
  }

  void XMLDecl(const XMLCh* const, const XMLCh* const, const XMLCh* const,
               const XMLCh* const) override {}
  void docComment(const XMLCh* const) override {}
  void ignorableWhitespace(const XMLCh* const, const XMLSize_t, const bool) override {}
  void startDocument() override {}
  void endDocument() override {}
  void resetDocument() override {}
  void startEntityReference(const xercesc::XMLEntityDecl&) override {}
  void endEntityReference(const xercesc::XMLEntityDecl&) override {}

  // EntityResolver: only files the handler or the parser map the entity
  // to are read; anything else stays unresolved (an error).
  xercesc::InputSource* resolveEntity(const XMLCh* const /*publicId*/,
                                      const XMLCh* const systemId) override {
    IXMLHandler* top = fStack.back().Get();
    if (top == nullptr || systemId == nullptr) return nullptr;
    const VString id = TextOf(systemId);
    VFile* file = top->ResolveEntity(id);
    if (file == nullptr) file = fOwner.ResolveEntity(id);
    if (file == nullptr) return nullptr;
    VString path;
    file->GetPath().GetPosixPath(path);
    file->Release();
    return new xercesc::LocalFileInputSource(path.GetCPointer());
  }

  // ErrorHandler.
  void warning(const xercesc::SAXParseException&) override {}
  void error(const xercesc::SAXParseException& e) override { _Push(xml_error::kRecoverable, e); }
  void fatalError(const xercesc::SAXParseException& e) override { _Push(xml_error::kFatal, e); }
  void resetErrors() override {}

 private:
  // A document that cannot be opened has no position: its error names the
  // document itself.
  void _Push(int32 number, const xercesc::SAXParseException& e) const {
    const XMLCh* systemID = e.getSystemId();
    if (systemID == nullptr || *systemID == 0) systemID = fDocumentID;
    PushXMLError(number, TextOf(e.getMessage()), TextOf(systemID), TextOf(e.getPublicId()),
                 e.getLineNumber(), e.getColumnNumber());
  }

  // A string over the library's 0-terminated text, without copying it.
  static VString Borrowed(const XMLCh* text, XMLSize_t length) {
    return VString(const_cast<UniChar*>(text), int32(length), size_t(-1));
  }

  // The element's name, made once per element declaration of the parse:
  // handlers that keep it share its buffer instead of copying it.
  const VString& _NameOf(const xercesc::XMLElementDecl& decl) {
    for (const auto& [known, name] : fNames) {
      if (known == &decl) return name;
    }
    if (fNames.size() >= kMaxKnownNames) fNames.clear();
    fNames.emplace_back(&decl, TextOf(decl.getFullName()));
    return fNames.back().second;
  }

  // Charges delivered text to the budget; entity references cannot blow a
  // small document up into gigabytes of text.
  void _Spend(XMLSize_t units) {
    if (units > fTextBudget) _Stop(u"the document expands to more text than the parser allows");
    fTextBudget -= units;
  }

  // Records the error and unwinds out of the library's parse.
  [[noreturn]] void _Stop(const char16_t* message) {
    const xercesc::Locator* locator = fParser.GetLocator();
    PushXMLError(xml_error::kFatal, VString(message), TextOf(locator->getSystemId()),
                 TextOf(locator->getPublicId()), locator->getLineNumber(),
                 locator->getColumnNumber());
    throw Stopped();
  }

  // Names are looked up in order of first use; a document with more
  // distinct element names than this starts over.
  static constexpr size_t kMaxKnownNames = 64;

  LocatingSAXParser& fParser;
  const VXMLParser& fOwner;
  const XMLCh* fDocumentID;
  std::deque<VRefPtr<IXMLHandler>> fStack;
  std::vector<std::pair<const xercesc::XMLElementDecl*, VString>> fNames;
  VString fText;
  uint64 fTextBudget;
};

}  // namespace

bool VXMLParser::Init() {
  try {
    xercesc::XMLPlatformUtils::Initialize();
  } catch (...) {
    return false;
  }
  return true;
}

void VXMLParser::DeInit() { xercesc::XMLPlatformUtils::Terminate(); }

bool VXMLParser::Parse(const void* data, size_t size, IXMLHandler* handler, uint32 options) {
  xercesc::MemBufInputSource source(static_cast<const XMLByte*>(data), size, kFromMemory, false);
  return _Parse(source, size, handler, options);
}

bool VXMLParser::Parse(const VString& text, IXMLHandler* handler, uint32 options) {
  const size_t size = size_t(text.GetLength()) * sizeof(UniChar);
  xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.GetCPointer()), size,
                                    kFromMemory, false);
  source.setEncoding(xercesc::XMLUni::fgUTF16LEncodingString);
  return _Parse(source, size, handler, options);
}

VXMLParser::~VXMLParser() {
  if (fEntitiesFolder != nullptr) fEntitiesFolder->Release();
}

void VXMLParser::SetEntitiesLocalFolder(const VString& prefix, VFolder* folder) {
  _SetEntitiesFolder(fEntitiesPrefix, fEntitiesFolder, prefix, folder);
}

void VXMLParser::_SetEntitiesFolder(VString& prefix, VFolder*& folder, const VString& newPrefix,
                                    VFolder* newFolder) {
  if (newFolder != folder) {
    if (newFolder != nullptr) newFolder->Retain();
    if (folder != nullptr) folder->Release();
    folder = newFolder;
  }
  prefix = newPrefix;
}

VFile* VXMLParser::ResolveEntity(const VString& systemID) const {
  return ResolveEntityFromFolder(fEntitiesPrefix, fEntitiesFolder, systemID);
}

VFile* VXMLParser::ResolveEntityFromFolder(const VString& prefix, const VFolder* folder,
                                           const VString& systemID) {
  if (folder == nullptr || !systemID.BeginsWith(prefix, false)) return nullptr;
  VString relative;
  systemID.GetSubString(prefix.GetLength() + 1, systemID.GetLength() - prefix.GetLength(),
                        relative);
  // Every name must be a plain one: no empty name (a parent in the ':'
  // form), no "." or "..", so the file stays inside the folder.
  std::vector<VString> names;
  relative.GetSubStrings('/', names, true);
  for (const VString& name : names) {
    if (name.IsEmpty() || name.EqualToUSASCIICString(".") || name.EqualToUSASCIICString("..") ||
        name.FindRawString(VString(":")) > 0) {
      return nullptr;
    }
  }
  relative.ExchangeRawString(VString("/"), VString(":"));
  const VFilePath path(folder->GetPath(), relative, kFilePathStyleNative);
  if (!path.IsFile() || !path.IsChildOf(folder->GetPath())) return nullptr;
  return new VFile(path);
}

bool VXMLParser::Parse(const IFile* file, IXMLHandler* handler, uint32 options) {
  if (file == nullptr) {
    _ThrowError(ToolboxError(toolbox_error::kInvalidParameter));
    return false;
  }
  // The path names the document in the errors of its parse.
  VString path;
  file->GetPlatformPath(path, kFilePathStylePosix);
  if (dynamic_cast<const VFile*>(file) != nullptr) {
    int64 size = 0;
    {
      // A file that cannot be opened is the library's error, which names it.
      StErrorContextInstaller quiet(false, true);
      if (file->GetSize(&size) != VE_OK) size = 0;
    }
    xercesc::LocalFileInputSource source(path.GetCPointer());
    return _Parse(source, uint64(size), handler, options);
  }
  VMemoryBuffer<> content;
  if (file->GetContent(content) != VE_OK) return false;
  xercesc::MemBufInputSource source(static_cast<const XMLByte*>(content.GetDataPtr()),
                                    content.GetDataSize(), path.GetCPointer(), false);
  return _Parse(source, content.GetDataSize(), handler, options);
}

bool VXMLParser::_Parse(xercesc::InputSource& source, uint64 size, IXMLHandler* handler,
                        uint32 options) {
  LocatingSAXParser parser;
  if ((options & kXMLParseValidate) != 0) {
    parser.setValidationScheme(xercesc::SAXParser::Val_Always);
  } else if ((options & kXMLParseNeverValidate) != 0) {
    parser.setValidationScheme(xercesc::SAXParser::Val_Never);
  } else {
    parser.setValidationScheme(xercesc::SAXParser::Val_Auto);
  }
  parser.setLoadExternalDTD((options & kXMLParseLoadExternalDTD) != 0);
  parser.setDoNamespaces((options & kXMLParseNamespaces) != 0);
  // The library itself never opens a file or a URL named by a document.
  parser.setDisableDefaultEntityResolution(true);
  xercesc::SecurityManager security;
  security.setEntityExpansionLimit(kMaxEntityExpansions);
  parser.setSecurityManager(&security);
  fReportDefaultedAttributes = (options & kXMLParseReportDefaultedAttributes) != 0;

  // Up to 16 times the document's size in delivered text, at least 1 Mi units.
  const uint64 budget = size * 16 + (uint64(1) << 20);
  SAX_Handlers adapter(parser, *this, source.getSystemId(), handler, budget);
  parser.installAdvDocHandler(&adapter);
  parser.setErrorHandler(&adapter);
  parser.setEntityResolver(&adapter);

  bool failed = false;
  try {
    parser.parse(source);
  } catch (const SAX_Handlers::Stopped&) {
    failed = true;
  } catch (const xercesc::OutOfMemoryException&) {
    PushXMLError(xml_error::kFatal, VString("out of memory"), VString(), VString(), 0, 0);
    failed = true;
  } catch (const xercesc::XMLException& e) {
    // The exception's line is one of the library's own sources, not of
    // the document: the position is unknown.
    PushXMLError(xml_error::kFatal, TextOf(e.getMessage()), TextOf(source.getSystemId()), VString(),
                 0, 0);
    failed = true;
  }
  return !failed && parser.getErrorCount() == 0;
}

}  // namespace zeft
