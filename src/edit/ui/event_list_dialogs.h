// The event list's dialogs: the display filter (TEventFilterDlg), Shift
// Location (TShiftLocaDlg) and the RPN/NRPN insertion (TPackedRPNDlg). Each
// edits values handed in and says on close what was chosen; the form runs
// the change. UI thread.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <array>

#include "edit/event_list_model.h"
#include "edit/name_tables.h"
#include "edit/rpn_defs.h"

namespace melko {

class TEventFilterDlg : public QDialog {
  Q_OBJECT
 public:
  TEventFilterDlg(const ListFilter& filter, const NameTable& control, const NameTable& meta, QWidget* parent = nullptr);
  // The filter as the boxes say.
  ListFilter Result() const;
  std::array<QCheckBox*, 8> Kinds{};  // cbxEfNote .. cbxEfMeta
  QCheckBox* cbxTargetCtrl;
  QComboBox* cmbTargetCtrl;
  QCheckBox* cbxTargetMeta;
  QComboBox* cmbTargetMeta;

 private:
  const NameTable& control_;
  const NameTable& meta_;
};

// What Shift Location was asked to do.
class TShiftLocaDlg : public QDialog {
  Q_OBJECT
 public:
  TShiftLocaDlg(const QString& location, QWidget* parent = nullptr);
  QLineEdit* edLocation;
  bool WholeSong = false;  // btSong (true) or btTrack
};

class TPackedRPNDlg : public QDialog {
  Q_OBJECT
 public:
  TPackedRPNDlg(const RpnTable& table, const QString& location, QWidget* parent = nullptr);
  QComboBox* cmbRpnGroup;
  QListWidget* lbxParams;
  QLineEdit* edStep;
  QLineEdit* edRr;
  QLineEdit* edData;
  QLineEdit* edLocation;
  int Group() const { return cmbRpnGroup->currentIndex(); }
  int Param() const { return lbxParams->currentRow(); }

 private:
  void FillParams();
  const RpnTable& table_;
};

}  // namespace melko
