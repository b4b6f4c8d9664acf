#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>

#include "support/TestSupport.h"
#include "ui/About.h"
#include "ui/ArenaSetup.h"
#include "ui/DialogSupport.h"
#include "ui/EASetup.h"
#include "ui/Experiment.h"
#include "ui/Main.h"
#include "ui/RobotSetup.h"
#include "ui/Settings.h"
#include "ui/UiTestSupport.h"

namespace kestrovan {

using test::Fields;
using test::Localised;

namespace {

QString Native(const std::filesystem::path& Path) { return QString::fromStdString(Path.string()); }

TRobotConfiguration ConfigurationOf(TMainForm& Form) {
  return {Form.BodyParameters(), Form.SensorParameters(), Form.MotorParameters(), Form.FSMBrainParameters()};
}

// Chooses a menu item; its dialog gets the box texts Edits (numbers with '.'
// for the decimal point), then OK or Cancel.
template <class TDialog>
void Confirm(QAction* Item, std::vector<std::pair<const char*, QString>> Edits = {}, bool Ok = true) {
  test::TModalDriver driver;
  driver.Expect<TDialog>([&](TDialog& dialog) {
    // the arena dialog takes a file name, the others numbers
    constexpr bool kNumbers = !std::is_same_v<TDialog, TArenaSetupForm>;
    for (const auto& [name, text] : Edits) {
      dialog.template findChild<QLineEdit*>(QString::fromLatin1(name))->setText(kNumbers ? Localised(text) : text);
    }
    const bool ea = std::is_same_v<TDialog, TEASetupForm>;
    const char* button = Ok ? (ea ? "OKButton" : "btnOK") : (ea ? "CancelButton" : "btnCancel");
    QTest::mouseClick(dialog.template findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
  });
  Item->trigger();
  QCOMPARE(driver.Handled(), 1);
}

// The settings of one test in a folder of their own, as if on a new account;
// afterwards the test-mode folder again.
class TSettingsFolder {
 public:
  TSettingsFolder() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Native(folder_.Path())); }
  ~TSettingsFolder() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
  }
  TSettingsFolder(const TSettingsFolder&) = delete;
  TSettingsFolder& operator=(const TSettingsFolder&) = delete;

 private:
  test::TTemporaryFolder folder_;
};

// One start of the program: a main window taking up the last session.
std::unique_ptr<TMainForm> Start() {
  auto form = std::make_unique<TMainForm>();
  form->RestoreSettings();
  form->show();
  return form;
}

// Opens the run window from Form and runs Action on it before it closes.
void InRunWindow(TMainForm& Form, std::function<void(TExperimentForm&)> Action) {
  test::TModalDriver driver;
  driver.Expect<TExperimentForm>(std::move(Action));
  Form.RunEvolution1->trigger();
  QCOMPARE(driver.Handled(), 1);
}

}  // namespace

class TMainFormTest : public QObject {
  Q_OBJECT

 private:
  test::TTemporaryFolder folder_;
  QString arenaFile_;

  void ConfirmAll(TMainForm& Form) {
    Confirm<TArenaSetupForm>(Form.Arena1, {{"ArenaFileBox", arenaFile_}});
    Confirm<TRobotSetupForm>(Form.Robot1);
    Confirm<TEASetupForm>(Form.EvolutionaryAlgorithm1);
  }

 private slots:
  void initTestCase() { arenaFile_ = Native(folder_.Write("arena.txt", "an arena\n")); }
  void cleanup() { test::CheckNoWindowLeft(); }

  void startsWithTheDefaultConfiguration() {
    TMainForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Kestrovan, v1.0"));
    QVERIFY(!form.RunEvolution1->isEnabled());
    QVERIFY(!form.ArenaSet && !form.RobotSet && !form.EASet);
    QVERIFY(Fields(form.EAParameters()) == Fields(TEAParameters()));
    QVERIFY(Fields(ConfigurationOf(form)) == Fields(TRobotConfiguration::Default()));
    const TRobot& robot = form.Robot();
    QCOMPARE(robot.Name, std::string("Robot"));
    test::CompareSensors(robot, 0.05, 0.125, 0.353);
    QCOMPARE(robot.Body->Motors.Count(), 2);
    const auto& brain = dynamic_cast<const TFSMBrain&>(*robot.Brain);
    QCOMPARE(brain.Genome.Rows(), 5);
    QCOMPARE(brain.Genome.Columns(), 21);
  }

  void confirmingAllThreeInAnyOrderEnablesRun() {
    for (const QString order : {"ARE", "AER", "RAE", "REA", "EAR", "ERA"}) {
      TMainForm form;
      for (const QChar step : order) {
        QVERIFY(!form.RunEvolution1->isEnabled());
        if (step == u'A') {
          Confirm<TArenaSetupForm>(form.Arena1, {{"ArenaFileBox", arenaFile_}});
        } else if (step == u'R') {
          Confirm<TRobotSetupForm>(form.Robot1);
        } else {
          Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1);
        }
      }
      QVERIFY2(form.RunEvolution1->isEnabled(), qPrintable(order));
      QVERIFY(form.Arena1->isChecked() && form.Robot1->isChecked() && form.EvolutionaryAlgorithm1->isChecked());
      QCOMPARE(form.ArenaFileName, arenaFile_);
    }
  }

  void cancelLeavesFlagsAndObjectsAlone() {
    TMainForm form;
    const TEAParameters ea = form.EAParameters();
    const TRobotConfiguration configuration = ConfigurationOf(form);
    const TRobot* robot = &form.Robot();
    Confirm<TArenaSetupForm>(form.Arena1, {{"ArenaFileBox", arenaFile_}}, false);
    Confirm<TRobotSetupForm>(form.Robot1, {{"MassBox", "0.7"}, {"SensorRangeBox", "0.2"}}, false);
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1, {{"PMutBox", "0.3"}}, false);
    QVERIFY(!form.ArenaSet && !form.RobotSet && !form.EASet);
    QVERIFY(!form.Arena1->isChecked() && !form.Robot1->isChecked() && !form.EvolutionaryAlgorithm1->isChecked());
    QVERIFY(form.ArenaFileName.isEmpty());
    QVERIFY(Fields(form.EAParameters()) == Fields(ea));
    QVERIFY(Fields(ConfigurationOf(form)) == Fields(configuration));
    QCOMPARE(&form.Robot(), robot);
    test::CompareSensors(form.Robot(), 0.05, 0.125, 0.353);
    // once confirmed, a cancelled dialog keeps the flag and the check mark
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1);
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1, {}, false);
    QVERIFY(form.EASet && form.EvolutionaryAlgorithm1->isChecked());
  }

  void aMissingArenaAfterAValidOneDisablesRun() {
    TMainForm form;
    ConfirmAll(form);
    QVERIFY(form.RunEvolution1->isEnabled());
    // the file goes after the dialog accepted it
    const QString doomed = Native(folder_.Write("doomed.txt", "x"));
    test::TModalDriver driver;
    driver.Expect<TArenaSetupForm>([&](TArenaSetupForm& dialog) {
      QCOMPARE(dialog.ArenaFileBox->text(), arenaFile_);
      dialog.ArenaFileBox->setText(doomed);
      QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
      std::filesystem::remove(doomed.toStdString());
    });
    form.Arena1->trigger();
    QCOMPARE(driver.Handled(), 1);
    QVERIFY(!form.ArenaSet);
    QVERIFY(!form.RunEvolution1->isEnabled());
    QCOMPARE(form.ArenaFileName, doomed);
  }

  void okWithoutEditsKeepsTheConfiguration() {
    TMainForm form;
    form.EAParameters().MutationRate = 0.0125;
    TEAParameters expected = form.EAParameters();
    ConfirmAll(form);
    // the EA dialog fixes the choices it does not offer
    expected.CrossoverProbability = 0.0;
    expected.UseRanking = false;
    QVERIFY(Fields(form.EAParameters()) == Fields(expected));
    QCOMPARE(form.EAParameters().TournamentSize, 4);
    TRobotConfiguration defaults = TRobotConfiguration::Default();
    defaults.Brain.MutationRate = 0.0125;
    QVERIFY(Fields(ConfigurationOf(form)) == Fields(defaults));
    QCOMPARE(form.BodyParameters().WheelRadius, 0.01);
    test::CompareSensors(form.Robot(), 0.05, 0.125, 0.353);
  }

  void aWiderBodyKeepsTheSensorsAtTheirMounting() {
    TMainForm form;
    const TRobot* before = &form.Robot();
    Confirm<TRobotSetupForm>(form.Robot1, {{"RadiusBox", "0.1"}});
    QVERIFY(&form.Robot() != before);
    QCOMPARE(dynamic_cast<const TDifferentiallySteeredBody&>(*form.Robot().Body).Radius, 0.1);
    test::CompareSensors(form.Robot(), 0.05, 0.125, 0.353);
  }

  void theEAMutationValuesReachNewBrains() {
    TMainForm form;
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1,
                          {{"PMutBox", "0.1"}, {"PCreepBox", "0.25"}, {"CreepRateBox", "0.2"}});
    const TFSMBrain brain(form.FSMBrainParameters());
    QCOMPARE(brain.MutationRate, 0.1);
    QCOMPARE(brain.CreepProbability, 0.25);
    QCOMPARE(brain.CreepRate, 0.2);
    // the robot dialog's own rate gives way to the EA's when the robot is rebuilt
    Confirm<TRobotSetupForm>(form.Robot1, {{"PMutationBox", "0.5"}});
    QCOMPARE(dynamic_cast<const TFSMBrain&>(*form.Robot().Brain).MutationRate, 0.1);
  }

  void runEvolutionNeedsTheArenaFileStill() {
    TMainForm form;
    arenaFile_ = Native(folder_.Write("run.txt", "x"));
    ConfirmAll(form);
    test::TModalDriver driver;
    driver.Expect<QDialog>([](QDialog& window) {
      QCOMPARE(window.windowTitle(), QStringLiteral("Kestrovan, v1.0 - Evolutionary simulation"));
    });
    form.RunEvolution1->trigger();
    QCOMPARE(driver.Handled(), 1);
    std::filesystem::remove(arenaFile_.toStdString());
    test::TShownMessage message;
    test::ExpectMessage(driver, message);
    form.RunEvolution1->trigger();
    QVERIFY2(message.Text.contains(arenaFile_), qPrintable(message.Text));
    QCOMPARE(message.Icon, int(QMessageBox::Critical));
    arenaFile_ = Native(folder_.Write("arena.txt", "an arena\n"));
  }

  void helpAboutAndOutOfMemory() {
    TMainForm form;
    test::TModalDriver driver;
    driver.Expect<TAboutForm>([](TAboutForm& about) {
      QCOMPARE(about.windowTitle(), QStringLiteral("Kestrovan, v1.0"));
      QCOMPARE(about.DescriptionLabel->text().count(QLatin1Char('\n')), 6);
      QTest::mouseClick(about.CloseButton, Qt::LeftButton);
      QVERIFY(!about.isVisible());
    });
    form.About1->trigger();
    QCOMPARE(driver.Handled(), 1);
    test::TShownMessage message;
    test::ExpectMessage(driver, message);
    const int largest = std::numeric_limits<int>::max();
    const TMatrix refused(largest, largest);
    QCOMPARE(message.Text, QStringLiteral("Sorry, out of memory"));
    QCOMPARE(message.Icon, int(QMessageBox::NoIcon));
  }

  void messageBoxesAndTheAboutBoxTakeReturnAndEscape() {
    TMainForm form;
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
      // the error message: caption, icon, the text as given, its detail; the key closes it
      test::TModalDriver driver;
      bool closed = false;
      driver.Expect<QMessageBox>([&](QMessageBox& box) {
        QCOMPARE(box.windowTitle(), QStringLiteral("Kestrovan, v1.0"));
        QCOMPARE(box.icon(), QMessageBox::Critical);
        QCOMPARE(box.text(), QStringLiteral("<a.txt>:3: bad value"));
        QCOMPARE(box.textFormat(), Qt::PlainText);
        QCOMPARE(box.informativeText(), QStringLiteral("Please correct it."));
        QTest::keyClick(&box, key);
        closed = !box.isVisible();
      });
      ShowErrorMessage(&form, QStringLiteral("<a.txt>:3: bad value"), QStringLiteral("Please correct it."));
      QCOMPARE(driver.Handled(), 1);
      QVERIFY(closed);

      // a question in the same look: Return takes the default No, Escape answers No
      closed = false;
      driver.Expect<QMessageBox>([&](QMessageBox& box) {
        QCOMPARE(box.windowTitle(), QStringLiteral("Kestrovan, v1.0"));
        QCOMPARE(box.icon(), QMessageBox::Question);
        QTest::keyClick(&box, key);
        closed = !box.isVisible();
      });
      QVERIFY(!AskYesNo(&form, QStringLiteral("Stop the run and close?")));
      QCOMPARE(driver.Handled(), 2);
      QVERIFY(closed);

      closed = false;
      driver.Expect<TAboutForm>([&](TAboutForm& about) {
        QTest::keyClick(&about, key);
        closed = !about.isVisible();
      });
      form.About1->trigger();
      QCOMPARE(driver.Handled(), 3);
      QVERIFY(closed);
    }
    // Yes answers yes
    test::TModalDriver driver;
    driver.Expect<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    QVERIFY(AskYesNo(&form, QStringLiteral("Go on?")));
  }

  void statusLineShortcutsAndAnArenaFromTheCommandLine() {
    TMainForm form;
    form.show();
    QCOMPARE(form.StatusLabel->text(), form.StatusText());
    QVERIFY2(form.StatusText().startsWith(QStringLiteral("Arena: none")), qPrintable(form.StatusText()));
    QVERIFY(form.StatusText().contains(QStringLiteral("5 sensors, 5 states")));
    QVERIFY(form.StatusText().contains(QStringLiteral("population 100")));
    QVERIFY(form.StatusText().endsWith(QStringLiteral("To confirm: Arena, Robot, EA")));
    QCOMPARE(form.Exit1->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    QCOMPARE(form.About1->shortcut(), QKeySequence(Qt::Key_F1));

    // a missing file is named and changes nothing; an existing one is taken
    test::TModalDriver driver;
    test::TShownMessage message;
    test::ExpectMessage(driver, message);
    QVERIFY(!form.OpenArenaFile(QStringLiteral("/no/such/arena.txt")));
    QVERIFY(message.Text.contains(QStringLiteral("/no/such/arena.txt")));
    QVERIFY(!form.ArenaSet);
    const test::TTemporaryFolder folder;
    QVERIFY(form.OpenArenaFile(QString::fromStdString(folder.Write("my-arena.txt", "x").string())));
    QVERIFY(form.ArenaSet);
    QVERIFY(form.Arena1->isChecked());
    QVERIFY2(form.StatusLabel->text().startsWith(QStringLiteral("Arena: my-arena.txt")),
             qPrintable(form.StatusLabel->text()));
    QVERIFY(form.StatusText().endsWith(QStringLiteral("To confirm: Robot, EA")));
    form.close();
  }

  void rememberedAcrossProgramStarts() {
    const TSettingsFolder settings;
    // nothing remembered: the bundled default arena is chosen
    auto first = Start();
    QVERIFY2(first->ArenaFileName.endsWith(QStringLiteral("arenas/default.txt")), qPrintable(first->ArenaFileName));
    QVERIFY(first->ArenaSet && first->Arena1->isChecked());
    QVERIFY(first->StatusText().endsWith(QStringLiteral("To confirm: Robot, EA")));
    QVERIFY(first->statusBar()->currentMessage().isEmpty());
    Confirm<TRobotSetupForm>(first->Robot1, {{"MassBox", "0.25"}, {"NStatesBox", "7"}});
    Confirm<TEASetupForm>(first->EvolutionaryAlgorithm1, {{"PopSizeBox", "42"}, {"PMutBox", "0.125"}});
    first->move(37, 45);
    first->resize(700, first->height());
    const QRect geometry = first->geometry();
    const TRobotConfiguration configuration = ConfigurationOf(*first);
    const TEAParameters ea = first->EAParameters();
    // the run window's choices and times, as the user leaves them
    InRunWindow(*first, [](TExperimentForm& window) {
      QVERIFY(!window.chkVisualize->isChecked());
      window.chkVisualize->setChecked(true);
      window.chkShowSensors->setChecked(false);
      window.ShowBox->setCurrentIndex(1);
      window.SpeedBox->setCurrentIndex(2);
      window.SimulationTimeBox->setText(Localised(QStringLiteral("7.5")));
      window.resize(950, 700);
    });
    first->close();
    first.reset();

    auto second = Start();
    QCOMPARE(second->geometry(), geometry);
    QVERIFY(Fields(ConfigurationOf(*second)) == Fields(configuration));
    QVERIFY(Fields(second->EAParameters()) == Fields(ea));
    QVERIFY(second->RobotSet && second->EASet && second->RunEvolution1->isEnabled());
    QVERIFY(second->Robot1->isChecked() && second->EvolutionaryAlgorithm1->isChecked());
    QCOMPARE(dynamic_cast<const TFSMBrain&>(*second->Robot().Brain).Genome.Rows(), 7);
    QCOMPARE(second->SimulationTime, 7.5);
    InRunWindow(*second, [](TExperimentForm& window) {
      QVERIFY(window.chkVisualize->isChecked());
      QVERIFY(!window.chkShowSensors->isChecked());
      QCOMPARE(window.ShowBox->currentIndex(), 1);
      QCOMPARE(window.SpeedBox->currentIndex(), 2);
      QCOMPARE(window.SimulationTimeBox->text(), Localised(QStringLiteral("7.5")));
      QCOMPARE(window.size(), QSize(950, 700));
    });

    // a remembered arena that is gone: the default, and a notice naming it
    const test::TTemporaryFolder folder;
    const QString gone = Native(folder.Write("gone.txt", "x"));
    QVERIFY(second->OpenArenaFile(gone));
    second->close();
    second.reset();
    std::filesystem::remove(gone.toStdString());
    auto third = Start();
    QVERIFY(third->ArenaFileName.endsWith(QStringLiteral("arenas/default.txt")));
    QVERIFY(third->ArenaSet && third->RunEvolution1->isEnabled());
    QVERIFY2(third->statusBar()->currentMessage().contains(gone), qPrintable(third->statusBar()->currentMessage()));
    // the notice gives way to the status line at the next setup
    Confirm<TEASetupForm>(third->EvolutionaryAlgorithm1);
    QVERIFY(third->statusBar()->currentMessage().isEmpty());
    third->close();
    third.reset();

    // a configuration that no longer reads: the defaults, and the settings file named with its line
    ProgramSettings().setValue(QStringLiteral("main/configuration"),
                               QStringLiteral("[evolution]\npopulation_size = \"many\"\n"));
    auto fourth = Start();
    QVERIFY(Fields(fourth->EAParameters()) == Fields(TEAParameters()));
    QVERIFY(!fourth->RobotSet && !fourth->EASet);
    const QString notice = fourth->statusBar()->currentMessage();
    QVERIFY2(notice.contains(ProgramSettings().fileName() + QStringLiteral(":2:")), qPrintable(notice));
    fourth->close();
  }

  void theNameLabelStaysCentred() {
    TMainForm form;
    form.show();
    for (int width : {600, 777, 1200}) {
      form.resize(width, 101);
      QCOMPARE(form.NameLabel->x(), (width - form.NameLabel->width()) / 2);
    }
    form.Exit1->trigger();
    QVERIFY(!form.isVisible());
  }
};

QObject* CreateMainFormTest() { return new TMainFormTest; }

}  // namespace kestrovan

#include "tst_TMainForm.moc"
