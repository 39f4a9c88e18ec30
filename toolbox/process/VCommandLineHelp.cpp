// The manual-page section and the JSON description of the registered
// options (the help text itself is StOptionsInfos::BuildHelpUsage).
#include "process/VCommandLineParser.h"

namespace zeft {

namespace {

// The text as the body of a JSON string (quotes, backslashes and control
// characters escaped).
void AppendJSONBody(VString& out, const VString& text) {
  VString escaped;
  text.GetJSONString(escaped, 0);
  out.AppendString(escaped);
}

VString WithoutLineBreaksAndTabs(const VString& text) {
  VString result(text);
  result.ExchangeRawString(VString("\n"), VString());
  result.ExchangeRawString(VString("\t"), VString());
  return result;
}

}  // namespace

void VCommandLineParser::ExportAsManPage(VString* outText) const {
  if (outText == nullptr) return;
  VString& out = *outText;
  out.AppendCString(".SH OPTIONS\n");
  bool optionWritten = false;
  for (const auto& option : fInfos.GetOptions()) {
    if (option->IsHidden()) continue;
    const VString description = WithoutLineBreaksAndTabs(option->GetDescription());
    if (option->IsParagraph()) {
      if (!optionWritten) continue;
      out.AppendCString(".SS \"");
      AppendJSONBody(out, description);
      out.AppendCString("\"\n");
      continue;
    }
    optionWritten = true;
    out.AppendCString(".TP\n.BR ");
    const bool hasLong = !option->GetLongName().IsEmpty();
    if (option->HasShortName()) {
      out.AppendCString("\\-");
      out.AppendUniChar(option->GetShortName());
      if (hasLong)
        out.AppendCString(" \", \" ");
      else if (option->TakesValue())
        out.AppendCString(" \\fIVALUE\\fR");
    }
    if (hasLong) {
      out.AppendCString("\\-\\-");
      out.AppendString(option->GetLongName());
      if (option->TakesValue()) out.AppendCString("=\\fIVALUE\\fR");
    }
    out.AppendUniChar('\n');
    out.AppendString(description);
    out.AppendUniChar('\n');
  }
}

void VCommandLineParser::ExportAsJSON(VString* outText) const {
  if (outText == nullptr) return;
  VString& out = *outText;
  out.Clear();
  const std::vector<VString>& arguments = fInfos.GetArguments();
  out.AppendCString("{\n\t\"arguments\": {\n\t\t\"count\": ");
  out.AppendLong8(int64(arguments.size()));
  out.AppendCString(",\n\t\t\"values\": [\n");
  for (size_t i = 0; i < arguments.size(); ++i) {
    out.AppendCString("\t\t\t\"");
    AppendJSONBody(out, arguments[i]);
    out.AppendCString(i + 1 < arguments.size() ? "\",\n" : "\"\n");
  }
  const auto& options = fInfos.GetOptions();
  out.AppendCString("\t\t]\n\t},\n\t\"options\": {\n\t\t\"count\": ");
  out.AppendLong8(int64(options.size()));
  out.AppendCString(",\n\t\t\"values\": [\n");
  for (size_t i = 0; i < options.size(); ++i) {
    const auto& option = *options[i];
    out.AppendCString("\t\t\t{\n");
    if (option.IsParagraph()) {
      out.AppendCString("\t\t\t\t\"paragraph\": \"");
      AppendJSONBody(out, option.GetDescription());
      out.AppendCString("\"\n");
    } else {
      // Names are escaped like every other text: an application may
      // register any name, and the document must stay JSON.
      if (option.HasShortName()) {
        out.AppendCString("\t\t\t\t\"shortName\": \"");
        AppendJSONBody(out, VString(option.GetShortName()));
        out.AppendCString("\",\n");
      }
      if (!option.GetLongName().IsEmpty()) {
        out.AppendCString("\t\t\t\t\"longName\": \"");
        AppendJSONBody(out, option.GetLongName());
        out.AppendCString("\",\n");
      }
      if (option.TakesValue()) out.AppendCString("\t\t\t\t\"requiresValue\": true,\n");
      out.AppendCString("\t\t\t\t\"description\": \"");
      AppendJSONBody(out, option.GetDescription());
      out.AppendCString("\"\n");
    }
    out.AppendCString(i + 1 < options.size() ? "\t\t\t},\n" : "\t\t\t}\n");
  }
  out.AppendCString("\t\t]\n\t}\n}\n");
}

void VCommandLineParser::PrintAllArguments(bool toStandardError) const {
  VString document;
  ExportAsJSON(&document);
  if (document.IsEmpty()) return;
  if (toStandardError)
    PrintArgumentError(document);
  else
    Print(document);
}

}  // namespace zeft
