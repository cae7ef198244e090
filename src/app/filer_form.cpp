#include "app/filer_form.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "app/main_form.h"
#include "app/user_prompt.h"
#include "archive/archive_access.h"
#include "archive/archive_path.h"
#include "base/atomic_write.h"
#include "base/text_encoding.h"

namespace melko {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

std::string ParentFolder(const std::string& path) {
  std::filesystem::path p(path);
  std::string parent = p.parent_path().string();
  return parent.empty() ? "/" : parent;
}

// Documents larger than this are not shown.
constexpr uint64_t kMaxDocumentBytes = 16u << 20;

}  // namespace

bool ReadDocument(const std::string& path, std::string& bytes) {
  std::error_code ec;
  if (IsArchivePath(path) && !std::filesystem::exists(path, ec)) {
    std::string archive, member;
    SplitArchivePath(path, archive, member);
    return ExtractToMemory(archive, member, bytes, kMaxDocumentBytes);
  }
  auto size = std::filesystem::file_size(path, ec);
  return !ec && size <= kMaxDocumentBytes && ReadWholeFile(path, bytes);
}

// ---------------------------------------------------------------- the view

TFilerView::TFilerView(FilerContext& context, QWidget* parent) : QWidget(parent), context_(context) {
  auto* top = new QHBoxLayout;
  sbtUp = new QPushButton(QStringLiteral("↑"), this);
  sbtUp->setToolTip(QStringLiteral("上のフォルダへ"));
  sbtUp->setFixedWidth(sbtUp->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 12);
  edPath = new QLineEdit(this);
  top->addWidget(sbtUp);
  top->addWidget(edPath, 1);

  folders_ = new QFileSystemModel(this);
  folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  folders_->setRootPath(QStringLiteral("/"));
  tvwFolders = new QTreeView(this);
  tvwFolders->setModel(folders_);
  for (int c = 1; c < folders_->columnCount(); ++c) tvwFolders->hideColumn(c);
  tvwFolders->setHeaderHidden(true);

  lvwFiles = new QTreeWidget(this);
  lvwFiles->setRootIsDecorated(false);
  lvwFiles->setUniformRowHeights(true);
  lvwFiles->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("種類"), QStringLiteral("サイズ"),
                             QStringLiteral("日付")});
  lvwFiles->setSortingEnabled(false);
  QFontMetrics fm = lvwFiles->fontMetrics();
  lvwFiles->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("ファイル名ファイル名ファイル")));
  lvwFiles->setColumnWidth(1, fm.horizontalAdvance(QStringLiteral("<DIR>")) + 16);
  lvwFiles->setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("99999999")) + 16);
  lvwFiles->header()->setStretchLastSection(true);

  auto* split = new QSplitter(this);
  split->addWidget(tvwFolders);
  split->addWidget(lvwFiles);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 2);
  split->setSizes({220, 460});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(top);
  layout->addWidget(split, 1);

  // The tree fills in the background: the folder shown is found once its
  // parents have been read.
  connect(folders_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
    const QString shown = Q(context_.Folder);
    if (!shown.startsWith(loaded)) return;
    QModelIndex index = folders_->index(shown);
    if (!index.isValid()) return;
    tvwFolders->setCurrentIndex(index);
    tvwFolders->scrollTo(index, QAbstractItemView::PositionAtCenter);
  });
  connect(sbtUp, &QPushButton::clicked, this, [this] { GoUp(); });
  connect(edPath, &QLineEdit::returnPressed, this, [this] {
    std::string text = S(edPath->text());
    if (!text.empty() && text.back() == '>') text.pop_back();
    if (!ShowPlace(text)) edPath->setText(Q(inArchive_ ? place_ + ">" : place_));
  });
  connect(tvwFolders, &QTreeView::clicked, this,
          [this](const QModelIndex& index) { ShowPlace(S(folders_->filePath(index))); });
  connect(lvwFiles, &QTreeWidget::itemDoubleClicked, this, [this] { ActivateCurrent(); });
  connect(lvwFiles, &QTreeWidget::currentItemChanged, this, [this] {
    if (const FilerEntry* e = Current(); e && FileSelected) FileSelected(*e);
  });
}

bool TFilerView::ShowPlace(const std::string& place) {
  std::vector<FilerEntry> entries;
  bool archive = GetArchiveKind(place) != ArchiveKind::None && std::filesystem::is_regular_file(place);
  if (archive) {
    if (!ListArchive(place, context_.Cache, entries)) return false;
  } else if (!ListFolder(place, entries)) {
    return false;
  }
  place_ = place;
  inArchive_ = archive;
  entries_ = std::move(entries);
  context_.Folder = archive ? ParentFolder(place) : place;
  edPath->setText(Q(archive ? place + ">" : place));
  QModelIndex index = folders_->index(Q(context_.Folder));
  if (index.isValid()) {
    tvwFolders->setCurrentIndex(index);
    tvwFolders->scrollTo(index);
  }
  FillList();
  return true;
}

void TFilerView::FillList() {
  lvwFiles->clear();
  QList<QTreeWidgetItem*> items;
  for (const FilerEntry& e : entries_) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, Q(e.Name));
    item->setText(1, e.Folder ? QStringLiteral("<DIR>") : QString::fromLatin1(FilerKindText(e.Kind)));
    if (!e.Folder) {
      item->setText(2, QString::number(e.Size));
      item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
      item->setText(3, Q(DosTimeText(e.DosTime)));
    }
    items.push_back(item);
  }
  lvwFiles->addTopLevelItems(items);
  if (!items.isEmpty()) lvwFiles->setCurrentItem(items.front());
}

const FilerEntry* TFilerView::Current() const {
  int row = lvwFiles->indexOfTopLevelItem(lvwFiles->currentItem());
  return row < 0 || size_t(row) >= entries_.size() ? nullptr : &entries_[size_t(row)];
}

bool TFilerView::SelectName(const std::string& name) {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].Name == name) {
      lvwFiles->setCurrentItem(lvwFiles->topLevelItem(int(i)));
      return true;
    }
  return false;
}

void TFilerView::ActivateCurrent() {
  const FilerEntry* e = Current();
  if (!e) return;
  if (e->Folder || (e->Kind == FilerKind::Arc && !inArchive_)) {
    std::string path = e->Path;  // ShowPlace replaces the entries
    ShowPlace(path);
    return;
  }
  FilerEntry copy = *e;
  if (FileActivated) FileActivated(copy);
}

void TFilerView::GoUp() { ShowPlace(ParentFolder(place_)); }

// ---------------------------------------------------------- the doc viewer

TDocViewForm::TDocViewForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  memText = new QPlainTextEdit(this);
  memText->setReadOnly(true);
  memText->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(memText);
  resize(640, 480);
}

void TDocViewForm::ShowText(const std::string& title, const std::string& bytes) {
  setWindowTitle(Q(title));
  std::string text = DisplayText(bytes);
  std::string plain;
  plain.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\x1A') plain += c;  // CR LF lines and the DOS end mark
  memText->setPlainText(Q(plain));
}

// ------------------------------------------------------------- the window

TFilerForm::TFilerForm(FilerContext& context, QWidget* parent) : QWidget(parent, Qt::Window), context_(context) {
  setWindowTitle(QStringLiteral("ファイルブラウザ"));
  view_ = new TFilerView(context, this);
  sbtOpen = new QPushButton(QStringLiteral("開く(&O)"), this);
  auto* cbxShowDocument = new QCheckBox(QStringLiteral("文書をビューアで表示"), this);
  cbxShowDocument->setObjectName(QStringLiteral("cbxShowDocument"));
  cbxShowDocument->setChecked(context.ShowDocument);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(cbxShowDocument);
  bottom->addStretch(1);
  bottom->addWidget(sbtOpen);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_, 1);
  layout->addLayout(bottom);
  resize(760, 460);

  connect(sbtOpen, &QPushButton::clicked, this, [this] { sbtOpenClick(); });
  connect(cbxShowDocument, &QCheckBox::toggled, this, [this](bool on) { context_.ShowDocument = on; });
  view_->FileActivated = [this](const FilerEntry& e) { Activate(e); };
  std::error_code ec;
  std::string start = context.Folder;
  if (start.empty() || !view_->ShowPlace(start)) view_->ShowPlace(std::filesystem::current_path(ec).string());
}

TFilerForm::~TFilerForm() { context_.SaveCache(); }

void TFilerForm::sbtOpenClick() { view_->ActivateCurrent(); }

void TFilerForm::Activate(const FilerEntry& entry) {
  switch (entry.Kind) {
    case FilerKind::Mid:
    case FilerKind::Rcp:
      if (OpenSong) OpenSong(entry.Path);
      break;
    case FilerKind::Doc: {
      std::error_code ec;
      bool member = IsArchivePath(entry.Path) && !std::filesystem::exists(entry.Path, ec);
      if (!context_.ShowDocument && !member) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(Q(entry.Path)));
        break;
      }
      std::string bytes;
      if (!ReadDocument(entry.Path, bytes)) break;  // nothing more is shown
      if (!docView_) docView_ = new TDocViewForm(this);
      docView_->ShowText(entry.Path, bytes);
      docView_->show();
      docView_->raise();
      break;
    }
    case FilerKind::Arc:
    case FilerKind::Other:
      break;
  }
  context_.SaveCache();
}

// ------------------------------------------------------------- the dialogs

namespace {

QDialogButtonBox* AddNameRow(QDialog& dialog, TFilerView* view, QLineEdit*& edit) {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("ファイル名(&N):"), &dialog));
  edit = new QLineEdit(&dialog);
  row->addWidget(edit, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(view, 1);
  layout->addLayout(row);
  layout->addWidget(buttons);
  dialog.resize(720, 440);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  return buttons;
}

// Where the dialog starts: the folder (or archive) of `start`, with its file
// (or member) as the name; else the last place shown.
void StartAt(TFilerView* view, QLineEdit* edit, FilerContext& context, const std::string& start) {
  std::string archive, member;
  if (IsArchivePath(start) && SplitArchivePath(start, archive, member) && view->ShowPlace(archive)) {
    edit->setText(Q(member));
    view->SelectName(member);
    return;
  }
  if (!start.empty()) {
    std::error_code ec;
    bool folder = std::filesystem::is_directory(start, ec);
    if (view->ShowPlace(folder ? start : ParentFolder(start))) {
      if (!folder) {
        std::string name = std::filesystem::path(start).filename().string();
        edit->setText(Q(name));
        view->SelectName(name);
      }
      return;
    }
  }
  std::error_code ec;
  if (context.Folder.empty() || !view->ShowPlace(context.Folder)) view->ShowPlace(std::filesystem::current_path(ec).string());
}

std::string InPlace(const TFilerView& view, const std::string& name) {
  if (view.InArchive()) return JoinArchivePath(view.Place(), name);
  std::string place = view.Place();
  return (!place.empty() && place.back() == '/') ? place + name : place + "/" + name;
}

}  // namespace

TmOpenFilerDialog::TmOpenFilerDialog(FilerContext& context, const std::string& title, const std::string& start,
                                     QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(title.empty() ? QStringLiteral("開く") : Q(title));
  view_ = new TFilerView(context, this);
  QDialogButtonBox* buttons = AddNameRow(*this, view_, edFileName);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { Choose(); });
  view_->FileSelected = [this](const FilerEntry& e) {
    if (!e.Folder && e.Kind != FilerKind::Arc) edFileName->setText(Q(e.Name));
  };
  view_->FileActivated = [this](const FilerEntry& e) {
    edFileName->setText(Q(e.Name));
    Choose();
  };
  StartAt(view_, edFileName, context, start);
}

void TmOpenFilerDialog::Choose() {
  std::string name = S(edFileName->text());
  if (name.empty()) return;
  if (name.front() == '/' || IsArchivePath(name)) {
    fileName_ = name;  // typed as a whole path
  } else {
    fileName_ = InPlace(*view_, name);
  }
  accept();
}

TmSaveFilerDialog::TmSaveFilerDialog(FilerContext& context, const std::string& title, const std::string& start,
                                     const std::string& defaultSuffix, QWidget* parent)
    : QDialog(parent), suffix_(defaultSuffix) {
  setWindowTitle(title.empty() ? QStringLiteral("名前を付けて保存") : Q(title));
  view_ = new TFilerView(context, this);
  QDialogButtonBox* buttons = AddNameRow(*this, view_, edFileName);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { Choose(); });
  view_->FileSelected = [this](const FilerEntry& e) {
    if (e.Kind == FilerKind::Mid) edFileName->setText(Q(e.Name));
  };
  view_->FileActivated = [this](const FilerEntry& e) {
    edFileName->setText(Q(e.Name));
    Choose();
  };
  StartAt(view_, edFileName, context, start);
}

void TmSaveFilerDialog::Choose() {
  std::string name = S(edFileName->text());
  if (MemberFileName(name).empty()) return;
  if (!suffix_.empty() && MemberFileName(name).find('.') == std::string::npos) name += "." + suffix_;
  fileName_ = (name.front() == '/' || IsArchivePath(name)) ? name : InPlace(*view_, name);
  accept();
}

// ------------------------------------------------------------ installation

namespace {

// Lives as long as the main window; writes the cache when it goes.
class FilerHolder : public QObject {
 public:
  FilerHolder(QObject* parent) : QObject(parent) {}
  ~FilerHolder() override {
    delete form_;
    Context.SaveCache();
  }
  FilerContext Context;
  TFilerForm* form_ = nullptr;
};

}  // namespace

void InstallFiler(TMkMainForm& form, UserPrompt& prompt) {
  auto* holder = new FilerHolder(&form);
  holder->setObjectName(QStringLiteral("filerHolder"));
  FilerContext& context = holder->Context;
  context.CacheFile = form.Document().DataDir() + "ArcCache.dat";
  context.Cache.Load(context.CacheFile);
  context.ShowDocument = form.Ini().ReadInteger("Filer", "ShowDocument", 1) != 0;
  context.Folder = ParentFolder(form.Settings().Open);

  auto show = [&form, holder] {
    FilerContext& c = holder->Context;
    if (!holder->form_) {
      holder->form_ = new TFilerForm(c, &form);
      holder->form_->setObjectName(QStringLiteral("FilerForm"));
      holder->form_->OpenSong = [&form](const std::string& path) { form.Document().OpenHistory(path); };
      QObject::connect(holder->form_->findChild<QCheckBox*>(QStringLiteral("cbxShowDocument")), &QCheckBox::toggled,
                       &form, [&form](bool on) { form.Ini().WriteInteger("Filer", "ShowDocument", on ? 1 : 0); });
    }
    holder->form_->show();
    holder->form_->raise();
  };
  QAction* fileItem = new QAction(QStringLiteral("ファイルブラウザ(&B)..."), &form);
  fileItem->setObjectName(QStringLiteral("mnuFiler"));
  QObject::connect(fileItem, &QAction::triggered, &form, show);
  form.mnuFile->insertAction(form.hmMidiFile->menuAction(), fileItem);
  form.mnuWindow->addAction(QStringLiteral("ファイルブラウザ"), &form, show);

  if (auto* qt = dynamic_cast<QtUserPrompt*>(&prompt); qt && form.Settings().FileDialogType == 2) {
    qt->OpenDialog = [&form, holder](const std::string& title, const std::string& start) {
      TmOpenFilerDialog dialog(holder->Context, title, start, &form);
      return dialog.exec() == QDialog::Accepted ? dialog.FileName() : std::string();
    };
    qt->SaveDialog = [&form, holder](const std::string& title, const std::string& start, const std::string& suffix) {
      TmSaveFilerDialog dialog(holder->Context, title, start, suffix, &form);
      return dialog.exec() == QDialog::Accepted ? dialog.FileName() : std::string();
    };
  }
}

}  // namespace melko
