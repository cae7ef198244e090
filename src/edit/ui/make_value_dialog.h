// TMakeValueDlg ("MakeValues"): the value-curve tool. The curve is drawn on
// a graph 128 units high (TValueGraph, painted with QPainter, edited with the
// left mouse button); the boxes and their repeat buttons set the interval,
// the end values, the sine and the guide lines; presets come from and go to
// the LINE.TXT list it is given. OK writes every setting back (the caller
// then applies the curve); Cancel keeps only the kind, line type and preset.
// UI thread; the dialog owns neither the settings, the presets nor the
// DYNCTRL.TXT table.
#pragma once

#include <functional>
#include <vector>

#include <QWidget>

#include "edit/line_presets.h"
#include "edit/name_tables.h"
#include "edit/ui/tool_dialogs.h"
#include "edit/value_curve.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace melko {

// The graph: kGraphWidth × (kGraphHeight + 1) units drawn at Scale pixels
// each, with the axis labels in a margin on the left.
class TValueGraph : public QWidget {
  Q_OBJECT
 public:
  static constexpr int Scale = 2;
  static constexpr int LeftMargin = 56;
  static constexpr int TopMargin = 10;
  TValueGraph(MakeValueSettings& settings, uint32_t length, QWidget* parent);

  QLabel *lbMin, *lbMid, *lbMax;
  // The widget position of graph pixel px and graph value g, and back.
  static QPoint ToWidget(double px, double g);
  static void FromWidget(QPoint p, int& px, int& py);
  void KindChanged();  // labels and bounds of the settings' kind
  QSize sizeHint() const override;

 signals:
  void Changed();  // the mouse changed a setting

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void Drag(QPoint at);
  MakeValueSettings& s_;
  uint32_t length_;
  int point_ = -1;      // the spline point being dragged
  bool dragging_ = false;
};

class TMakeValueDlg : public TToolDlg {
  Q_OBJECT
 public:
  // `length` is the edit range's length (at least 1).
  TMakeValueDlg(MakeValueSettings& settings, std::vector<LinePreset>& presets, const NameTable& dynCtrl,
                uint32_t length, QWidget* parent = nullptr);
  ~TMakeValueDlg() override;

  // Asks for a new preset's name ("名前を入力して下さい"); tests answer it.
  std::function<bool(QString& name)> AskName;
  const MakeValueSettings& Work() const { return work_; }

  QComboBox* cmbData;
  QRadioButton *rbtStraight, *rbtSine, *rbtSpline;
  TValueGraph* graph;
  QLineEdit *edInterval, *edFrom, *edTo, *edFrq, *edAmp, *edPhase, *edGuide1, *edGuide2;
  QToolButton *tsbtIncInterval, *tsbtDecInterval, *tsbtIncFrom, *tsbtDecFrom, *tsbtIncTo, *tsbtDecTo;
  QToolButton *tsbtIncFrq, *tsbtDecFrq, *tsbtIncAmp, *tsbtDecAmp, *tsbtIncPhase, *tsbtDecPhase;
  QWidget *pnlFromTo, *pnlSine;
  QListWidget* lbxPreset;
  QPushButton *sbtAdd, *sbtModify, *sbtDelete;

 protected:
  void ReadAll() override;
  void done(int result) override;

 private:
  QToolButton* Repeat(const char* name, const QString& arrow, std::function<void()> step);
  void ShowAll();          // every box from the working settings
  void KindChanged();
  void LineChanged();
  void ChoosePreset(int row);
  void FillPresets();
  MakeValueSettings& s_;
  MakeValueSettings work_;
  std::vector<LinePreset>& presets_;
  const NameTable& table_;
  uint32_t length_;
  int interval_;             // the box's value, 1..length
  bool intervalTouched_ = false;
  bool updating_ = false;
};

}  // namespace melko
