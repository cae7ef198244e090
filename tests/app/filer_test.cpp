// The file browser through the real main window: members of an archive
// listed like files, a song opened from inside an archive and saved back
// into it, a Shift-JIS document shown in the viewer, and the browser as the
// open and save dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <filesystem>

#include "app/filer_form.h"
#include "app_rig.h"
#include "archive/archive_access.h"

namespace melko::test {
namespace {

TFilerForm* OpenFiler(AppRig& rig) {
  for (QAction* a : rig.form->mnuFile->actions())
    if (a->objectName() == QStringLiteral("mnuFiler")) a->trigger();
  return rig.form->findChild<TFilerForm*>();
}

TEST(Filer, ASongInsideAnArchiveOpensAndSavesBack) {
  AppRig rig;
  rig.Start();
  const std::string folder = rig.Dir.Path() + "songs";
  std::filesystem::create_directories(folder);
  std::string song = MakeSongFile(folder + "/plain.mid", 2);
  const std::string zip = folder + "/pack.zip";
  ASSERT_TRUE(StoreFromMemory(zip, "notes.txt", "keep"));
  ASSERT_TRUE(StoreFromMemory(zip, "set/a.mid", song));

  TFilerForm* filer = OpenFiler(rig);
  ASSERT_NE(filer, nullptr);
  ASSERT_TRUE(filer->View()->ShowPlace(folder));
  EXPECT_EQ(filer->View()->lvwFiles->topLevelItemCount(), 2);  // pack.zip, plain.mid
  ASSERT_TRUE(filer->View()->SelectName("pack.zip"));
  filer->View()->ActivateCurrent();  // enters the archive
  EXPECT_TRUE(filer->View()->InArchive());
  EXPECT_EQ(filer->View()->edPath->text().toStdString(), zip + ">");
  ASSERT_EQ(filer->View()->lvwFiles->topLevelItemCount(), 2);
  EXPECT_EQ(filer->View()->lvwFiles->topLevelItem(1)->text(1).toStdString(), "mid");
  ASSERT_TRUE(filer->View()->SelectName("set/a.mid"));
  filer->sbtOpenClick();
  EXPECT_EQ(rig.doc().DocumentName, zip + ">set/a.mid");
  EXPECT_NE(rig.form->windowTitle().toStdString().find(zip + ">set/a.mid"), std::string::npos);
  EXPECT_TRUE(rig.prompt.Errors.empty());

  rig.song().TrackNames[1] = "Changed";
  ASSERT_TRUE(rig.doc().SaveCommand());
  EXPECT_EQ(ReadFile(rig.doc().BackupFile()), song);  // the member as it was before
  Song again;
  ScriptedPrompt quiet;
  ASSERT_TRUE(OpenSongFile(again, zip + ">set/a.mid", quiet));
  EXPECT_EQ(again.TrackNames[1], "Changed");
  std::string kept;
  ASSERT_TRUE(ExtractToMemory(zip, "notes.txt", kept));
  EXPECT_EQ(kept, "keep");
  EXPECT_EQ(rig.form->Settings().MidiFiles.Entries.front().Path, zip + ">set/a.mid");
}

TEST(Filer, DocumentsShowInTheViewerInJapanese) {
  AppRig rig;
  rig.Start();
  const std::string lzh = rig.Dir.Path() + "docs.lzh";
  ASSERT_TRUE(StoreFromMemory(lzh, "READ.DOC", "\x93\xFA\x96\x7B\x8C\xEA\r\n"));  // 日本語 in Shift-JIS
  TFilerForm* filer = OpenFiler(rig);
  ASSERT_NE(filer, nullptr);
  ASSERT_TRUE(filer->View()->ShowPlace(lzh));
  ASSERT_TRUE(filer->View()->SelectName("READ.DOC"));
  filer->View()->ActivateCurrent();
  ASSERT_NE(filer->DocView(), nullptr);
  EXPECT_EQ(filer->DocView()->memText->toPlainText().toStdString(), "日本語\n");
  EXPECT_FALSE(filer->View()->ShowPlace(rig.Dir.Path() + "missing.zip"));
  EXPECT_TRUE(filer->View()->InArchive());  // stays where it was
}

TEST(Filer, TheBrowserServesAsOpenAndSaveDialog) {
  EnsureApp();
  TempDir dir;
  const std::string zip = dir.Path() + "p.zip";
  ASSERT_TRUE(StoreFromMemory(zip, "a.mid", "x"));
  FilerContext context;
  context.CacheFile = dir.Path() + "ArcCache.dat";
  {
    TmOpenFilerDialog open(context, "", zip + ">a.mid");
    EXPECT_EQ(open.edFileName->text().toStdString(), "a.mid");
    open.View()->ActivateCurrent();
    EXPECT_EQ(open.FileName(), zip + ">a.mid");
  }
  {
    TmSaveFilerDialog save(context, "", zip + ">a.mid", "mid");
    save.edFileName->setText(QStringLiteral("新曲"));
    save.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(save.FileName(), zip + ">新曲.mid");
  }
  {
    TmSaveFilerDialog save(context, "", dir.Path() + "b.mid", "mid");
    save.edFileName->setText(QStringLiteral("sub/"));
    save.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(save.FileName(), "");  // no file name: nothing chosen
    EXPECT_EQ(save.View()->Place() + "/", dir.Path());
  }
}

}  // namespace
}  // namespace melko::test
