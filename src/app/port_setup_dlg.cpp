#include "app/port_setup_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace melko {

namespace {
QComboBox* DeviceBox(QWidget* parent, const char* name, const std::vector<std::string>& names, int current) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  for (const auto& n : names) box->addItem(QString::fromStdString(n));
  box->setCurrentIndex(current < box->count() ? current : 0);
  return box;
}
QComboBox* PortBox(QWidget* parent, const MidiPorts& ports, int current) {
  auto* box = new QComboBox(parent);
  for (int p = 0; p < kPortCount; ++p)
    box->addItem(QStringLiteral("%1: %2").arg(QChar('A' + p)).arg(QString::fromStdString(ports.PortNames[p])));
  box->setCurrentIndex(current >= 0 && current < kPortCount ? current : 0);
  return box;
}
}  // namespace

TPortSetupDlg::TPortSetupDlg(const MidiPorts& ports, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PortSetupDlg"));
  setWindowTitle(QStringLiteral("MIDIポート設定"));
  auto* layout = new QVBoxLayout(this);
  auto* outs = new QGroupBox(QStringLiteral("出力デバイス (MIDI OUT)"), this);
  auto* outForm = new QFormLayout(outs);
  const char* names[kPortCount] = {"cmbPort0", "cmbPort1", "cmbPort2", "cmbPort3"};
  for (int p = 0; p < kPortCount; ++p) {
    cmbPort[p] = DeviceBox(outs, names[p], ports.OutDeviceNames, ports.PortMap[p]);
    outForm->addRow(QStringLiteral("ポート%1").arg(QChar('A' + p)), cmbPort[p]);
  }
  layout->addWidget(outs);
  auto* in = new QGroupBox(QStringLiteral("入力デバイス (MIDI IN)"), this);
  auto* inForm = new QFormLayout(in);
  cmbMidiInPort = DeviceBox(in, "cmbMidiInPort", ports.InDeviceNames, ports.InPort);
  inForm->addRow(QStringLiteral("入力"), cmbMidiInPort);
  layout->addWidget(in);
  auto* roles = new QGroupBox(QStringLiteral("ポートの割り当て"), this);
  auto* roleForm = new QFormLayout(roles);
  cmbOutPort = PortBox(roles, ports, ports.DefaultOutPort);
  cmbClickPort = PortBox(roles, ports, ports.ClickPort);
  cmbSyncPort = PortBox(roles, ports, ports.SyncPort);
  roleForm->addRow(QStringLiteral("トラックの既定ポート"), cmbOutPort);
  roleForm->addRow(QStringLiteral("GuideClickのポート"), cmbClickPort);
  roleForm->addRow(QStringLiteral("SyncOutのポート"), cmbSyncPort);
  layout->addWidget(roles);
  auto* filter = new QGroupBox(QStringLiteral("MIDI Filter"), this);
  auto* filterLayout = new QVBoxLayout(filter);
  cbxSendSysEx = new QCheckBox(QStringLiteral("SystemExclusive"), filter);
  cbxSendSysEx->setChecked(ports.SendOptions & kSendSystemExclusive);
  cbxSendBank = new QCheckBox(QStringLiteral("BankChange"), filter);
  cbxSendBank->setChecked(ports.SendOptions & kSendBankChange);
  filterLayout->addWidget(cbxSendSysEx);
  filterLayout->addWidget(cbxSendBank);
  layout->addWidget(filter);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

bool TPortSetupDlg::Apply(MidiPorts& ports) const {
  bool changed = false;
  for (int p = 0; p < kPortCount; ++p) {
    uint8_t d = static_cast<uint8_t>(std::max(cmbPort[p]->currentIndex(), 0));
    changed |= ports.PortMap[p] != d;
    ports.PortMap[p] = d;
  }
  ports.DefaultOutPort = static_cast<uint8_t>(cmbOutPort->currentIndex());
  ports.ClickPort = static_cast<uint8_t>(cmbClickPort->currentIndex());
  ports.SyncPort = cmbSyncPort->currentIndex();
  ports.SendOptions = static_cast<uint8_t>((cbxSendSysEx->isChecked() ? kSendSystemExclusive : 0) |
                                           (cbxSendBank->isChecked() ? kSendBankChange : 0));
  ports.SelectInPort(std::max(cmbMidiInPort->currentIndex(), 0));
  if (changed) ports.OpenOutPorts();
  ports.UpdatePortNames();
  return changed;
}

}  // namespace melko
