// The MIDI port and filter setup: the output device of each port A..D
// (`cmbPort0`..`cmbPort3`), the input device (`cmbMidiInPort`), the default,
// guide-click and sync ports, and the send filter ("SystemExclusive",
// "BankChange"). Changes take effect on OK only: the input is selected, the
// output devices are opened anew when an assignment changed. UI thread;
// playback must be stopped before Apply.
#pragma once

#include <QDialog>
#include <array>

#include "midi/midi_ports.h"

class QCheckBox;
class QComboBox;

namespace melko {

class TPortSetupDlg : public QDialog {
  Q_OBJECT
 public:
  TPortSetupDlg(const MidiPorts& ports, QWidget* parent = nullptr);
  // Puts the dialog's choices into the port table; true when an output
  // assignment changed (the devices were reopened).
  bool Apply(MidiPorts& ports) const;

  std::array<QComboBox*, kPortCount> cmbPort{};
  QComboBox* cmbMidiInPort;
  QComboBox *cmbOutPort, *cmbClickPort, *cmbSyncPort;
  QCheckBox *cbxSendSysEx, *cbxSendBank;
};

}  // namespace melko
