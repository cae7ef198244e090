// The file browser (TFilerForm): a folder tree and a file list in which the
// members of .LZH and .ZIP archives appear like the files of a folder
// (listings through the archive cache). A double click opens a song (mid,
// rcp), shows a document (doc) in the document viewer (TDocViewForm, with the
// "ShowDocument" setting) or enters an archive (arc). The same browser is the
// alternative open and save dialog (TmOpenFilerDialog, TmSaveFilerDialog),
// which hands back file paths or archive paths ("pack.lzh>song.mid").
// UI thread only. The archive cache is shared by every browser of the
// window (FilerContext) and written to ArcCache.dat when they go.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "archive/arc_cache.h"
#include "archive/filer_listing.h"

class QFileSystemModel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeView;
class QTreeWidget;

namespace melko {

class TMkMainForm;
class UserPrompt;

struct FilerContext {
  TArcCache Cache;
  std::string CacheFile;   // ArcCache.dat in the data folder
  std::string Folder;      // where a browser starts: the last place shown
  bool ShowDocument = true;
  void SaveCache() { Cache.Save(CacheFile); }
};

// The browser itself: a path box, the folder tree and the file list.
class TFilerView : public QWidget {
  Q_OBJECT
 public:
  TFilerView(FilerContext& context, QWidget* parent = nullptr);

  // A folder, or an archive file (its members are listed); false when the
  // place cannot be read (the view stays where it was).
  bool ShowPlace(const std::string& place);
  const std::string& Place() const { return place_; }
  bool InArchive() const { return inArchive_; }
  const std::vector<FilerEntry>& Entries() const { return entries_; }
  // The entry of the current row, or null.
  const FilerEntry* Current() const;
  // Selects the row of `name` in the list; false when there is none.
  bool SelectName(const std::string& name);
  // Opens the current row as a double click does.
  void ActivateCurrent();

  // A double click on a file that is not an archive (entries are copied).
  std::function<void(const FilerEntry&)> FileActivated;
  std::function<void(const FilerEntry&)> FileSelected;

  QLineEdit* edPath;
  QPushButton* sbtUp;
  QTreeView* tvwFolders;
  QTreeWidget* lvwFiles;

 private:
  void FillList();
  void GoUp();

  FilerContext& context_;
  QFileSystemModel* folders_;
  std::string place_;
  bool inArchive_ = false;
  std::vector<FilerEntry> entries_;
};

// The simple document viewer.
class TDocViewForm : public QWidget {
  Q_OBJECT
 public:
  explicit TDocViewForm(QWidget* parent = nullptr);
  // Shows raw bytes (UTF-8 or Shift-JIS) under the caption `title`.
  void ShowText(const std::string& title, const std::string& bytes);
  QPlainTextEdit* memText;
};

// Reads a document from a file or an archive member; false when it cannot.
bool ReadDocument(const std::string& path, std::string& bytes);

class TFilerForm : public QWidget {
  Q_OBJECT
 public:
  TFilerForm(FilerContext& context, QWidget* parent = nullptr);
  ~TFilerForm() override;

  // A song to open (a file or archive path); the window opens it as the
  // File menu would.
  std::function<void(const std::string& path)> OpenSong;

  TFilerView* View() { return view_; }
  TDocViewForm* DocView() { return docView_; }
  void sbtOpenClick();

 private:
  void Activate(const FilerEntry& entry);
  FilerContext& context_;
  TFilerView* view_;
  TDocViewForm* docView_ = nullptr;
  QPushButton* sbtOpen;
};

// The browser as an open dialog: a song file or member.
class TmOpenFilerDialog : public QDialog {
  Q_OBJECT
 public:
  TmOpenFilerDialog(FilerContext& context, const std::string& title, const std::string& start,
                    QWidget* parent = nullptr);
  std::string FileName() const { return fileName_; }
  TFilerView* View() { return view_; }
  QLineEdit* edFileName;

 private:
  void Choose();
  TFilerView* view_;
  std::string fileName_;
};

// The browser as a save dialog: a file in the folder shown, or a member of
// the archive shown. A name without an extension gets `defaultSuffix`.
class TmSaveFilerDialog : public QDialog {
  Q_OBJECT
 public:
  TmSaveFilerDialog(FilerContext& context, const std::string& title, const std::string& start,
                    const std::string& defaultSuffix, QWidget* parent = nullptr);
  std::string FileName() const { return fileName_; }
  TFilerView* View() { return view_; }
  QLineEdit* edFileName;

 private:
  void Choose();
  TFilerView* view_;
  std::string suffix_;
  std::string fileName_;
};

// The browser in the File and Window menus, and (with "FileDialogType" 2)
// as the window's open and save dialogs.
void InstallFiler(TMkMainForm& form, UserPrompt& prompt);

}  // namespace melko
