// A handler that writes every call it receives into a shared log, so that
// tests compare the events of a parse or a tree walk.
#pragma once

#include <string>
#include <vector>

#include "core/VObject.h"
#include "core/VString.h"
#include "xml/IXMLHandler.h"

namespace zeft::test {

// Writes every call into a shared log; a child handler for each element
// unless its name is "skip". Counts the handlers alive.
class Recorder : public VObject, public IXMLHandler {
 public:
  Recorder(std::vector<std::string>* log, int* alive, std::string name)
      : fLog(log), fAlive(alive), fName(std::move(name)) {
    ++*fAlive;
  }
  ~Recorder() override { --*fAlive; }

  IXMLHandler* StartElement(const VString& name) override {
    fLog->push_back(fName + " start " + to_string(name));
    if (name.EqualToUSASCIICString("skip")) return nullptr;
    return new Recorder(fLog, fAlive, to_string(name));
  }
  void EndElement(const VString& name) override {
    fLog->push_back(fName + " end " + to_string(name));
  }
  void SetAttribute(const VString& name, const VString& value) override {
    fLog->push_back(fName + " attr " + to_string(name) + "=" + to_string(value));
  }
  void SetText(const VString& text) override {
    fLog->push_back(fName + " text " + to_string(text));
  }
  void StartStyleSheet() override { fLog->push_back(fName + " sheet{"); }
  void SetStyleSheetAttribute(const VString& name, const VString& value) override {
    fLog->push_back(fName + " sheet " + to_string(name) + "=" + to_string(value));
  }
  void EndStyleSheet() override { fLog->push_back(fName + " }sheet"); }

 private:
  std::vector<std::string>* fLog;
  int* fAlive;
  std::string fName;
};

}  // namespace zeft::test
