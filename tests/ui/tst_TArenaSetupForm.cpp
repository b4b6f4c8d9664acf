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

using test::TModalDriver;
using test::TShownMessage;

namespace {

const QString kMissingFileMessage = QStringLiteral("File does not exist. Please check the path to the file.");

QString Native(const std::filesystem::path& Path) { return QString::fromStdString(Path.string()); }

}  // namespace

class TArenaSetupFormTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { test::CheckNoWindowLeft(); }

  void okRefusesAMissingFileAndKeepsTheTypedName_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << QString();
    QTest::newRow("missing") << QStringLiteral("/no/such/folder/arena.txt");
    QTest::newRow("folder") << QDir::tempPath();
  }
  void okRefusesAMissingFileAndKeepsTheTypedName() {
    QFETCH(QString, typed);
    TArenaSetupForm dialog;
    dialog.open();
    dialog.ArenaFileBox->setText(typed);
    TModalDriver driver;
    TShownMessage message;
    test::ExpectMessage(driver, message);
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QVERIFY(message.Shown);
    QCOMPARE(message.Text, kMissingFileMessage);
    QCOMPARE(message.Icon, int(QMessageBox::NoIcon));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.FileName(), typed);
  }

  void okAcceptsAnExistingFile() {
    const test::TTemporaryFolder folder;
    const QString file = Native(folder.Write("arena.txt", "x"));
    TArenaSetupForm dialog;
    dialog.open();
    dialog.ArenaFileBox->setText(file);
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.FileName(), file);
  }

  void neitherEnterNorEscapeCloses() {
    const test::TTemporaryFolder folder;
    TArenaSetupForm dialog;
    dialog.SetFileName(Native(folder.Write("arena.txt", "x")));
    dialog.open();
    QTest::keyClick(dialog.ArenaFileBox, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
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
    TModalDriver driver;
    QString startFolder;
    QStringList preselected;
    driver.Expect<QFileDialog>([&](QFileDialog& open) {
      startFolder = open.directory().absolutePath();
      preselected = open.selectedFiles();
      // typed into the dialog's file name box, as a user would, once the
      // folder is listed (the listing selects the preselected file)
      const auto* list = open.findChild<QListView*>(QStringLiteral("listView"));
      QVERIFY(list != nullptr);
      QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), 2);
      QTRY_COMPARE(list->selectionModel()->selectedRows().size(), 1);
      // the box replaces the selection only when it has the keyboard focus
      list->selectionModel()->clearSelection();
      auto* nameBox = open.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(nameBox != nullptr);
      nameBox->setText(QFileInfo(chosen).fileName());
      static_cast<QDialog&>(open).accept();
    });
    QTest::mouseClick(dialog.BrowseButton, Qt::LeftButton);
    QCOMPARE(driver.Handled(), 1);
    QCOMPARE(QDir(startFolder), QDir(Native(folder.Path())));
    QCOMPARE(preselected, QStringList{QFileInfo(stored).absoluteFilePath()});
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
    // a refused OK stores the missing name; the typed existing one is not confirmed
    dialog.ArenaFileBox->setText(QStringLiteral("missing.txt"));
    TModalDriver driver;
    TShownMessage message;
    test::ExpectMessage(driver, message);
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QCOMPARE(dialog.FileName(), QStringLiteral("missing.txt"));
    dialog.ArenaFileBox->setText(typed);
    QString startFolder;
    driver.Expect<QFileDialog>([&](QFileDialog& open) {
      startFolder = open.directory().absolutePath();
      static_cast<QDialog&>(open).reject();
    });
    QTest::mouseClick(dialog.BrowseButton, Qt::LeftButton);
    QCOMPARE(driver.Handled(), 2);
    QCOMPARE(QDir(startFolder), QDir(QCoreApplication::applicationDirPath()));
    QCOMPARE(dialog.FileName(), QStringLiteral("missing.txt"));
    QCOMPARE(dialog.ArenaFileBox->text(), typed);
    dialog.reject();
  }
};

QObject* CreateArenaSetupFormTest() { return new TArenaSetupFormTest; }

}  // namespace kestrovan

#include "tst_TArenaSetupForm.moc"
