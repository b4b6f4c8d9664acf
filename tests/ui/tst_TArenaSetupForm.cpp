#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "support/TestSupport.h"
#include "ui/ArenaSetup.h"
#include "ui/UiTestSupport.h"

namespace kestrovan {

namespace {

QString Native(const std::filesystem::path& Path) { return QString::fromStdString(Path.string()); }

}  // namespace

class TArenaSetupFormTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { test::CheckNoWindowLeft(); }

  void okTakesOnlyAnExistingFile() {
    const test::TTemporaryFolder folder;
    TArenaSetupForm dialog;
    dialog.open();
    for (const QString& missing : {QString(), QStringLiteral("/no/such/arena.txt"), Native(folder.Path())}) {
      dialog.ArenaFileBox->setText(missing);
      const test::TShownMessage message = test::ClickExpectingMessage(dialog.btnOK);
      QCOMPARE(message.Text, QStringLiteral("File does not exist. Please check the path to the file."));
      QCOMPARE(message.Icon, int(QMessageBox::NoIcon));
      // the detail names the file as typed
      QCOMPARE(message.Detail, QStringLiteral("Arena file: '%1'").arg(missing));
      QVERIFY(dialog.isVisible());
      QCOMPARE(dialog.FileName(), missing);
    }
    // Return in the box is OK
    const QString file = Native(folder.Write("arena.txt", "x"));
    dialog.ArenaFileBox->setText(file);
    QTest::keyClick(dialog.ArenaFileBox, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.FileName(), file);
    // Escape is Cancel
    dialog.open();
    QTest::keyClick(dialog.ArenaFileBox, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }

  void browseStartsBesideTheStoredFileAndTakesTheChoice() {
    const test::TTemporaryFolder folder;
    const QString stored = Native(folder.Write("first.txt", "x"));
    const QString chosen = Native(folder.Write("second.txt", "x"));
    TArenaSetupForm dialog;
    dialog.SetFileName(stored);
    dialog.open();
    test::TModalDriver driver;
    QString startFolder;
    driver.Expect<QFileDialog>([&](QFileDialog& open) {
      startFolder = open.directory().absolutePath();
      // chosen as a user would, once the folder is listed with the stored
      // file selected; the name box replaces a selection only when focused
      const auto* list = open.findChild<QListView*>(QStringLiteral("listView"));
      QVERIFY(list != nullptr);
      QTRY_COMPARE(list->selectionModel()->selectedRows().size(), 1);
      QCOMPARE(list->selectionModel()->selectedRows().first().data().toString(), QStringLiteral("first.txt"));
      list->selectionModel()->clearSelection();
      open.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("second.txt"));
      static_cast<QDialog&>(open).accept();
    });
    QTest::mouseClick(dialog.BrowseButton, Qt::LeftButton);
    QCOMPARE(driver.Handled(), 1);
    QCOMPARE(QDir(startFolder), QDir(Native(folder.Path())));
    QCOMPARE(dialog.FileName(), QFileInfo(chosen).absoluteFilePath());
    QCOMPARE(dialog.ArenaFileBox->text(), dialog.FileName());
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

  void browseIgnoresUnconfirmedTextAndCancelChangesNothing() {
    const test::TTemporaryFolder folder;
    const QString typed = Native(folder.Write("typed.txt", "x"));
    TArenaSetupForm dialog;
    dialog.open();
    // a refused OK stores the missing name; the existing one typed next is not confirmed
    dialog.ArenaFileBox->setText(QStringLiteral("missing.txt"));
    QVERIFY(test::ClickExpectingMessage(dialog.btnOK).Shown);
    dialog.ArenaFileBox->setText(typed);
    test::TModalDriver driver;
    QString startFolder;
    driver.Expect<QFileDialog>([&](QFileDialog& open) {
      startFolder = open.directory().absolutePath();
      static_cast<QDialog&>(open).reject();
    });
    QTest::mouseClick(dialog.BrowseButton, Qt::LeftButton);
    QCOMPARE(driver.Handled(), 1);
    // with no file chosen yet, the bundled arenas (in the checkout for a program run from the build folder)
    QCOMPARE(QDir(startFolder), QDir(QString::fromStdString((test::SourceDir() / "arenas").string())));
    QCOMPARE(dialog.FileName(), QStringLiteral("missing.txt"));
    QCOMPARE(dialog.ArenaFileBox->text(), typed);
    dialog.reject();
  }
};

QObject* CreateArenaSetupFormTest() { return new TArenaSetupFormTest; }

}  // namespace kestrovan

#include "tst_TArenaSetupForm.moc"
