// The main window's experiment files: save, open and save again give the
// same file; opening confirms the three setups with the file's values; a
// refused file changes nothing; the recent files are remembered.
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>

#include "robot/FSMBrain.h"
#include "support/TestSupport.h"
#include "ui/ExperimentMenu.h"
#include "ui/Main.h"
#include "ui/UiTestSupport.h"

namespace kestrovan {

namespace {

QString Native(const std::filesystem::path& Path) { return QString::fromStdString(Path.string()); }

}  // namespace

class TExperimentMenuTest : public QObject {
  Q_OBJECT

 private:
  test::TTemporaryFolder folder_;

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void fileMenuOffersOpenSaveAndRecent() {
    TMainForm form;
    TExperimentFileMenu& menu = *form.ExperimentFileMenu;
    QCOMPARE(menu.OpenExperiment1->text(), QStringLiteral("Open experiment\u2026"));
    QCOMPARE(menu.SaveExperiment1->text(), QStringLiteral("Save experiment\u2026"));
    QCOMPARE(menu.OpenExperiment1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(menu.SaveExperiment1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    // in the File menu, before Exit
    const QList<QAction*> items = form.findChild<QMenu*>(QStringLiteral("File1"))->actions();
    QVERIFY(items.indexOf(menu.OpenExperiment1) >= 0);
    QVERIFY(items.indexOf(menu.OpenExperiment1) < items.indexOf(form.Exit1));
  }

  void saveOpenSaveGivesTheSameFileAndConfirmsTheSetups() {
    const auto arena = folder_.Write("arenas/a.txt", "x");
    TMainForm first;
    first.ArenaFileName = Native(arena);
    first.EAParameters().PopulationSize = 7;
    first.EAParameters().TournamentWinnerProbability = 0.1 + 0.2;
    first.BodyParameters().Mass = 0.25;
    first.FSMBrainParameters().NumberOfStates = 8;
    first.SimulationTime = 12.5;
    first.TimeStep = 0.005;
    const QString saved = Native(folder_.Path() / "one.toml");
    QVERIFY(first.ExperimentFileMenu->SaveExperiment(saved));
    QVERIFY(first.ExperimentFileMenu->RecentExperiments().front().endsWith(QStringLiteral("one.toml")));

    TMainForm second;
    QVERIFY(!second.RunEvolution1->isEnabled());
    QVERIFY(second.ExperimentFileMenu->OpenExperiment(saved));
    QCOMPARE(second.EAParameters().PopulationSize, 7);
    QCOMPARE(second.EAParameters().TournamentWinnerProbability, 0.1 + 0.2);
    QCOMPARE(second.BodyParameters().Mass, 0.25);
    QCOMPARE(second.SimulationTime, 12.5);
    QCOMPARE(second.TimeStep, 0.005);
    QVERIFY(std::filesystem::equivalent(second.ArenaFileName.toStdString(), arena));
    // as if the three dialogs had been confirmed: check marks and "Run evolution"
    QVERIFY(second.Arena1->isChecked() && second.Robot1->isChecked() && second.EvolutionaryAlgorithm1->isChecked());
    QVERIFY(second.RunEvolution1->isEnabled());
    // the template robot is rebuilt with the file's brain
    QCOMPARE(dynamic_cast<const TFSMBrain&>(*second.Robot().Brain).Genome.Rows(), 8);

    const QString again = Native(folder_.Path() / "two.toml");
    QVERIFY(second.ExperimentFileMenu->SaveExperiment(again));
    QCOMPARE(test::ReadFile(again.toStdString()), test::ReadFile(saved.toStdString()));
    const QStringList recent = TExperimentFileMenu::RecentExperiments();
    QVERIFY(recent.size() >= 2);
    QVERIFY(recent[0].endsWith(QStringLiteral("two.toml")));
    QVERIFY(recent[1].endsWith(QStringLiteral("one.toml")));
    QCOMPARE(second.ExperimentFileMenu->RecentExperiments1->actions().size(), recent.size());
  }

  void aRefusedFileIsNamedWithItsLineAndChangesNothing() {
    const QString bad = Native(folder_.Write("bad.toml", "[evolution]\npopulation_size = 50\nsize = 3\n"));
    TMainForm form;
    test::TModalDriver driver;
    test::TShownMessage message;
    test::ExpectMessage(driver, message);
    QVERIFY(!form.ExperimentFileMenu->OpenExperiment(bad));
    QVERIFY2(message.Text.contains(bad + QStringLiteral(":3: unknown key 'size' in [evolution]")),
             qPrintable(message.Text));
    QCOMPARE(form.EAParameters().PopulationSize, 100);
    QVERIFY(!form.Robot1->isChecked());
    QVERIFY(!form.RunEvolution1->isEnabled());
  }
};

QObject* CreateExperimentMenuTest() { return new TExperimentMenuTest; }

}  // namespace kestrovan

#include "tst_ExperimentMenu.moc"
