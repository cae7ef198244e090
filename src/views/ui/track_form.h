// TTrackForm, the track sheet ("Song - " + the song's name): the track list
// (DrawGrid1: eleven columns, row 0 the header) and the event map beside it
// (DrawGrid2: one 14-pixel column per map cell), both painted by one view
// that draws only the rows and cells on screen; the top panel with the
// marker jump, the information line and the thru target; the tool panel
// with the map resolution and the repeat count; in-cell editing; the flag
// clicks; a map click selecting the edit range; the track popup menu. It
// follows the song through the notifier and never keeps track data beyond
// its maps. What it needs of the program (questions, playback, patch and
// device names, the list and score windows) comes through Hooks.
// UI thread. The song and the dispatcher are the caller's.
#pragma once

#include <QAbstractScrollArea>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "base/ini_file.h"
#include "edit/edit_dispatcher.h"
#include "song/song.h"
#include "views/event_map.h"
#include "views/track_sheet_text.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace melko {

struct TrackFormHooks {
  std::function<bool(const std::string& question)> AskYesNo;
  std::function<void(const std::string& text)> ShowError;
  std::function<void()> Beep;
  std::function<bool()> IsPlaying;
  std::function<void()> StopPlayback;
  // The range's boxes show the dispatcher's range again.
  std::function<void()> RangeChanged;
  // Patch names and port devices for the cells.
  std::function<std::string(const std::string& instrument, uint32_t patch)> PatchName;
  std::function<std::array<std::string, 4>()> PortDevices;
  // The thru display (caption and hint) and the track the selection moved to.
  std::function<std::pair<std::string, std::string>()> Thru;
  std::function<void(int track)> TrackSelected;
  // The buttons of windows that come later; unset, their buttons are off.
  std::function<void(int list, int track)> OpenList;
  std::function<void(int track)> OpenScore;
  // A track's port, channel or pad key changed: the thru notes end.
  std::function<void()> ThruNotesOff;
  // The patch chooser for track `track`, starting at `patch`; true on OK
  // with the chosen patch (drum bit << 24 | MSB << 16 | LSB << 8 | program).
  std::function<bool(int track, uint32_t& patch)> ChoosePatch;
  // The instrument definitions a track may name (the Instrument cell's list).
  std::function<std::vector<std::string>()> InstrumentNames;
  // The marker jump: the current position moves to `tick`.
  std::function<void(uint32_t tick)> JumpTo;
  // The play position while playing, for "Sync" (null when not known).
  std::function<int32_t()> PlayTick;
  // "M": the clicked track is played from the clicked tick.
  std::function<void(int track, uint32_t tick)> Monitor;
};

class TSheetView;

class TTrackForm : public QWidget {
  Q_OBJECT
 public:
  TTrackForm(Song& song, EditDispatcher& dispatcher, QWidget* parent = nullptr);
  ~TTrackForm() override;

  TrackFormHooks Hooks;
  int CenterC = 0;
  int SheetRow = 1;
  bool SingleRec = false;  // the main window's single-record box

  // The window's state in section "Track" of MELKO.INI: "Monitor", "Width",
  // "Height", "Left", "Top", "wState" (0 normal, 2 maximized), "ColWidths"
  // (the list's eleven widths) and "Quant".
  void LoadSettings(const IniFile& ini);
  void SaveSettings(IniFile& ini) const;

  // Everything drawn anew (the maps of every track rebuilt).
  void RefreshAll();
  void UpdateCaption();
  TEventMaps& Maps() { return maps_; }
  TSheetView* Sheet() const { return sheet_; }
  int SelectionFrom() const;
  int SelectionTo() const;
  void SelectRows(int from, int to);

  // The popup commands, as the menu runs them.
  void CommandNew();
  void CommandInsert();
  void CommandDelete();
  void CommandErase();
  void CommandNoteToPad(bool mix);
  void CommandPadToNote();
  void CommandNoteToLyric();
  void MarkerEntered(const QString& text);
  // The marker list "%.3d: %s" (measure from 0, text) and the markers' ticks.
  void FillMarkers();
  const std::vector<uint32_t>& MarkerTicks() const { return markerTicks_; }
  void JumpToMarker(int index);

  QComboBox* cmbMarker;
  QLabel *pnlInfo, *pnlThru;
  QPushButton *sbtActiveTrackThru, *sbtList1, *sbtList2, *sbtScore, *sbtCond, *sbtDbcEvent, *sbtDbcScore,
      *sbtMonitor, *sbtFull, *sbtSync, *sbtQuantDown, *sbtQuantUp, *sbtRepeatDown, *sbtRepeatUp;
  QLineEdit *edQuant, *edRepeat;
  QMenu* PopupMenuTrack;
  // The play position the map shows with "Sync" (-1: none).
  int32_t SyncTick = -1;
  // With "Sync" down and playback running: the map follows the position.
  void SyncStep();
  // "Full": the text columns widen to their longest text (the map moves
  // right); released, the widths the user set come back.
  void SetFullView(bool on);
  bool FullView() const { return fullView_; }

 private:
  friend class TSheetView;
  void SongChanged(const SongChange& change);
  SheetTextContext TextContext() const;
  void ShowValues();
  void RowsChanged();
  void FitColumns();

  Song& song_;
  EditDispatcher& dispatcher_;
  TEventMaps maps_;
  std::vector<uint32_t> markerTicks_;
  TSheetView* sheet_;
  class QTimer* syncTimer_;
  SongNotifier::Subscription songWatch_;
  bool fullView_ = false;
  std::array<int, kSheetColumns> normalWidths_{};
};

// The two grids in one painted view.
class TSheetView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TSheetView(TTrackForm& form);
  static constexpr int kRowHeight = 18;
  static constexpr int kCellWidth = 14;
  std::array<int, kSheetColumns> ColWidths{28, 120, 34, 34, 30, 26, 78, 180, 42, 42, 190};
  int ListWidth() const;
  // The row (0 header, 1..64) and column (-1 in the map) at a viewport point;
  // in the map, `cell` is the map cell.
  int RowAt(int y) const;
  int ColumnAt(int x, int& cell) const;
  QRect CellRect(int row, int column) const;
  void StartEdit(int row, int column);
  QLineEdit* Editor() const { return editor_; }
  void UpdateScrollBars();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  friend class TTrackForm;
  void CommitEdit();
  void FlagClick(int row, int column, bool ctrl);
  void MapClick(int row, int cell, bool extend);

  TTrackForm& form_;
  QLineEdit* editor_ = nullptr;
  int editRow_ = 0, editColumn_ = 0;
  int focusRow_ = 1, focusColumn_ = kColName;
  int selFrom_ = 1, selTo_ = 1;
  int mapAnchorRow_ = 1, mapAnchorCell_ = 0;
};

}  // namespace melko
