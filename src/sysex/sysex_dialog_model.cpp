#include "sysex/sysex_dialog_model.h"

#include <cstring>

namespace melko {

TSysExDialogModel::TSysExDialogModel(TSysExParamNodes& nodes) : nodes_(nodes) { body_.reserve(kBodyRoom); }

int TSysExDialogModel::ApplyText(std::string_view text) {
  std::vector<uint8_t> work = body_;
  const int code = nodes_.SetFromText(work, text);
  if (code == 0) body_ = std::move(work);
  Refresh();
  return code;
}

int TSysExDialogModel::ApplyHexText(std::string_view text) {
  const int code = ApplyText(text);
  table_ = nodes_.GetTableEntries(body_);
  return code;
}

void TSysExDialogModel::Refresh() {
  const TSysExInfo info = nodes_.Analyse(body_);
  view_ = {};
  if (!info.Name.empty() && info.Param) {
    const TSysExType& type = *info.Param->Type;
    view_.Recognised = true;
    view_.ValueText = info.Units.empty() ? info.ValueText : info.ValueText + " " + info.Units;
    view_.ParamName = info.Name;
    view_.ValueEnabled = type.Kind != kSysExText;
    view_.ValueGetText = type.GetText;
    view_.ValueMin = type.Range->Min - type.Range->Offset;
    view_.ValueMax = type.Range->Max - type.Range->Offset;
    view_.Value = info.Value;
  }
  view_.TableEnabled = view_.Recognised;
  for (int i = 0; i < info.ExtraCount; ++i) {
    const TSysExExtra& field = *info.Extras[static_cast<size_t>(i)];
    TSysExExtraRow& row = view_.Extras[static_cast<size_t>(i)];
    row.Enabled = true;
    row.Tag = field.Format == "%x" ? 1 : field.Format == "%d" ? 0 : -1;
    row.Label = field.Name;
    row.Max = field.MaxValue;
    row.Value = field.Value;
  }
  view_.HexText = BodyHexText();
}

int TSysExDialogModel::PickParam(std::string_view name) { return ApplyHexText(nodes_.DefaultHexText(name)); }

int TSysExDialogModel::ChooseTableEntry(int index, std::string* text) {
  if (index < 0 || index >= static_cast<int>(table_.size())) return 0;
  std::string value = std::to_string(table_[static_cast<size_t>(index)].Value);
  if (text) *text = value;
  return ApplyText(value);
}

int TSysExDialogModel::SetValue(int value) {
  std::string text;
  if (view_.ValueGetText) {
    // The conversions get the zeroed 256 bytes they may fill, and slack.
    char buffer[1024] = {};
    view_.ValueGetText(value, buffer);
    text.assign(buffer, strnlen(buffer, 255));
  } else {
    text = std::to_string(value);
  }
  return ApplyText(text);
}

void TSysExDialogModel::SetExtras(const std::array<int, 3>& values) {
  nodes_.SetExtras(body_, values);
  // A device number or channel inside the summed bytes would otherwise send a
  // message the module rejects until the value is changed once more.
  const TSysExInfo info = nodes_.Analyse(body_);
  if (!info.Name.empty() && info.Param && info.Param->Model->BgnCheckSum > 0) {
    const size_t bgn = static_cast<size_t>(info.Param->Model->BgnCheckSum);
    if (body_.size() >= bgn + 2 && body_.back() == 0xF7) {
      const size_t at = body_.size() - 2;
      uint8_t sum = 0;
      for (size_t i = bgn - 1; i < at; ++i) sum = static_cast<uint8_t>(sum + body_[i]);
      body_[at] = static_cast<uint8_t>((0x80 - (sum & 0x7F)) & 0x7F);
    }
  }
  Refresh();
}

int TSysExDialogModel::ChooseNamedMessage(const TSysExNamedMessages& messages, int index) {
  if (index < 0 || index >= static_cast<int>(messages.HexTexts.size())) return 0;
  return ApplyHexText(messages.HexTexts[static_cast<size_t>(index)]);
}

int TSysExDialogModel::Open(std::string_view initialText) {
  if (initialText.empty()) return 0;
  return ApplyHexText(initialText);
}

int TSysExDialogModel::Ok(std::string_view hexText, std::string& result) {
  const int code = ApplyHexText(hexText);
  result = BodyHexText();
  return code;
}

std::string TSysExDialogModel::BodyHexText() const {
  return body_.empty() ? std::string() : TSysExParamNodes::HexText(body_);
}

int SysExDialogOk(TSysExParamNodes& nodes, std::string_view initialHex, std::string_view hexText,
                  std::string& result) {
  TSysExDialogModel model(nodes);
  model.Open(initialHex);
  return model.Ok(hexText, result);
}

}  // namespace melko
