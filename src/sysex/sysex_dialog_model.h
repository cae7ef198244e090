// What the SysEx input dialog shows and does, without Qt: the one message
// body it works on, applying a typed text (a whole message or a value for the
// current parameter), the refresh of every field from the body, the table of
// the current parameter, picking a parameter, a value or a named message, the
// variable fields, opening and OK. The Qt dialog (ui/sysex_dlg.h) is a thin
// skin over this; the batch command's `sysex=` runs SysExDialogOk.
// UI thread. The parameter tree is not owned and must outlive the model;
// View() is rebuilt by every Refresh.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sysex/sysex_named_messages.h"
#include "sysex/sysex_param_nodes.h"

namespace melko {

// One row of variable fields (a label and a spin edit).
struct TSysExExtraRow {
  bool Enabled = false;
  std::string Label;  // the field's Name
  int Max = 0x7F;     // the field's MaxValue
  int Value = 0;
  int Tag = 0;        // 1: shown and read as hexadecimal ("%x"), 0: "%d", -1: another format
};

// The fields as the last Refresh filled them.
struct TSysExDialogView {
  bool Recognised = false;
  std::string ValueText;      // cmbSysExTable: the value text, a blank and the unit when there is one
  std::string ParamName;      // cmbSysExDisp
  bool TableEnabled = false;  // cmbSysExTable
  bool ValueEnabled = false;  // mveValue (off for text parameters too)
  int ValueMin = 0, ValueMax = 0, Value = 0;
  TSysExGetText ValueGetText = nullptr;  // mveValue's Tag: turns its value into the text applied
  std::array<TSysExExtraRow, 3> Extras;
  std::string HexText;        // edSysExHexStr
};

class TSysExDialogModel {
 public:
  static constexpr size_t kBodyRoom = 512;

  explicit TSysExDialogModel(TSysExParamNodes& nodes);

  TSysExParamNodes& Nodes() { return nodes_; }
  const std::vector<uint8_t>& Body() const { return body_; }
  const TSysExDialogView& View() const { return view_; }
  // The table of the current parameter, as GetTableEntries gave it at the
  // last apply of the hex text.
  const std::vector<TSysExTableEntry>& TableEntries() const { return table_; }

  // Applying a text: SetFromText on the body, then Refresh. Returns the error
  // code (0: accepted); on an error the body is unchanged.
  int ApplyText(std::string_view text);
  // Applying the hex text: ApplyText, then the table entries of the body.
  int ApplyHexText(std::string_view text);
  // Fills View() from the body.
  void Refresh();

  // A parameter clicked in the list: its default message, applied as hex text.
  int PickParam(std::string_view name);
  // Entry index of TableEntries() chosen: its data value as a decimal text,
  // applied (the text is also left in `text` for the box).
  int ChooseTableEntry(int index, std::string* text = nullptr);
  // mveValue changed to value: turned into text by ValueGetText and applied.
  int SetValue(int value);
  // An mveExtra changed: the three values go into the variable fields.
  void SetExtras(const std::array<int, 3>& values);
  // Entry index of the named messages chosen: its hex text, applied as hex text.
  int ChooseNamedMessage(const TSysExNamedMessages& messages, int index);

  // Opening with the initial text: applied as hex text when not empty.
  int Open(std::string_view initialText);
  // OK with the text of the hex box: applied as hex text. On 0, `result` is
  // the hex text of the body; on an error it is that of the last accepted
  // body (empty when there is none) and the dialog stays open.
  int Ok(std::string_view hexText, std::string& result);
  // The hex text of the body; empty while no message has been accepted.
  std::string BodyHexText() const;

 private:
  TSysExParamNodes& nodes_;
  std::vector<uint8_t> body_;
  std::vector<TSysExTableEntry> table_;
  TSysExDialogView view_;
};

// The dialog's OK path without the dialog: opens on initialHex (as the event
// list opens it on the row's data), puts hexText into the hex box and
// presses OK. Returns the error code (0: OK) and leaves in `result` the hex
// text of the last accepted body, as the dialog hands it back.
int SysExDialogOk(TSysExParamNodes& nodes, std::string_view initialHex, std::string_view hexText,
                  std::string& result);
inline int SysExDialogOk(TSysExParamNodes& nodes, std::string_view hexText, std::string& result) {
  return SysExDialogOk(nodes, {}, hexText, result);
}

}  // namespace melko
