#include "sysex/sysex_cli.h"

#include <cstdio>

#include "base/ini_file.h"
#include "base/text_encoding.h"
#include "sysex/sysex_param_nodes.h"

namespace melko {

namespace {

std::string Join(const std::vector<std::string>& args, size_t from) {
  std::string text;
  for (size_t i = from; i < args.size(); ++i) {
    if (i > from) text += ' ';
    text += args[i];
  }
  return text;
}

bool StartsAsRawMessage(const std::string& text) {
  size_t i = text.find_first_not_of(" \t\r\n");
  if (i == std::string::npos || i + 2 > text.size()) return false;
  bool f = text[i] == 'F' || text[i] == 'f';
  bool zero = text[i + 1] == '0';
  bool end = i + 2 == text.size() || text[i + 2] == ' ' || text[i + 2] == '\t' || text[i + 2] == '\r' || text[i + 2] == '\n';
  return f && zero && end;
}

std::string ExtraValueText(const TSysExExtra& extra) {
  char buf[32];
  std::snprintf(buf, sizeof buf, extra.Format == "%x" ? "%X" : "%d", extra.Value);
  return buf;
}

int ShowMessage(TSysExParamNodes& nodes, const std::string& text, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> body;
  if (!StartsAsRawMessage(text)) {
    // A parameter name, as typed (UTF-8) or as a CP932 table would hold it.
    if (nodes.Params().IndexOf(text) >= 0) body = nodes.MakeDefault(text);
    else if (nodes.Params().IndexOf(StoreText(text)) >= 0) body = nodes.MakeDefault(StoreText(text));
  }
  if (body.empty()) {
    int code = nodes.SetFromText(body, text);
    if (code != 0) {
      err << "Error: " << TSysExParamNodes::ErrorText(code) << "\n";
      return 1;
    }
  }
  TSysExInfo info = nodes.Analyse(body);
  out << "Hex: " << TSysExParamNodes::HexText(body) << "\n";
  out << "Name: " << DisplayText(info.Name) << "\n";
  out << "Value: " << DisplayText(info.ValueText) << "\n";
  out << "Units: " << DisplayText(info.Units) << "\n";
  for (int i = 0; i < info.ExtraCount; ++i) {
    const TSysExExtra& extra = *info.Extras[static_cast<size_t>(i)];
    out << "Extra: " << DisplayText(extra.Name) << "=" << ExtraValueText(extra) << "\n";
  }
  return 0;
}

int ListGroups(const TSysExParamNodes& nodes, const std::string& group, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> groups = nodes.GetGroupNames();
  std::string wanted = group;
  if (!wanted.empty() && nodes.Groups().IndexOf(wanted) < 0 && nodes.Groups().IndexOf(StoreText(wanted)) >= 0) {
    wanted = StoreText(wanted);
  }
  bool any = false;
  for (int g = 0; g < static_cast<int>(groups.size()); ++g) {
    const std::string& name = groups[static_cast<size_t>(g)];
    // GROUP names a group and everything below it ("GS" lists "GS\System" ...).
    if (!wanted.empty()) {
      bool same = name.size() == wanted.size() && nodes.Groups().IndexOf(wanted) == g;
      bool below = name.size() > wanted.size() && EqualsNoCase(std::string_view(name).substr(0, wanted.size()), wanted) &&
                   name[wanted.size()] == '\\';
      if (!same && !below) continue;
    }
    any = true;
    out << DisplayText(name) << "\n";
    for (int i = 0; i < nodes.Params().Count(); ++i) {
      if (nodes.Params().Object(i)->GroupIndex == g) out << "  " << DisplayText(nodes.Params().Name(i)) << "\n";
    }
  }
  if (!any && !wanted.empty()) {
    err << "Error: no SysEx group " << group << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int RunSysexCommand(const std::vector<std::string>& args, const std::string& dataDir, std::ostream& out,
                    std::ostream& err) {
  if (args.empty()) {
    err << "Error: no SysEx command\n";
    return 1;
  }
  std::string folder = dataDir.empty() ? std::string(".") : dataDir;
  if (folder.back() != '/') folder += '/';
  TSysExParamNodes nodes;
  if (!nodes.Load(folder + "SysEx/")) err << "Warning: " << nodes.LoadError() << "\n";

  if (args[0] == "--sysex-list") return ListGroups(nodes, Join(args, 1), out, err);
  if (args[0] == "--sysex") {
    if (args.size() < 2) {
      err << "Error: --sysex needs a message or a parameter name\n";
      return 1;
    }
    return ShowMessage(nodes, Join(args, 1), out, err);
  }
  err << "Error: unknown SysEx command " << args[0] << "\n";
  return 1;
}

}  // namespace melko
