#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "ea/EAParameters.h"
#include "numerics/Matrices.h"
#include "robot/DefaultRobot.h"
#include "support/TestSupport.h"
#include "ui/About.h"
#include "ui/ArenaSetup.h"
#include "ui/EASetup.h"
#include "ui/Main.h"
#include "ui/RobotSetup.h"
#include "ui/UiTestSupport.h"

namespace kestrovan {

using test::Localised;
using test::TModalDriver;
using test::TShownMessage;

namespace {

QString Native(const std::filesystem::path& Path) { return QString::fromStdString(Path.string()); }

// Box texts to type before pressing OK: object name and text, numbers with
// '.' for the decimal point.
using TEdits = std::vector<std::pair<QString, QString>>;

void Type(QDialog& Dialog, const TEdits& Edits) {
  // the arena dialog takes a file name, the others numbers
  const bool numbers = qobject_cast<TArenaSetupForm*>(&Dialog) == nullptr;
  for (const auto& [name, text] : Edits) {
    Dialog.findChild<QLineEdit*>(name)->setText(numbers ? Localised(text) : text);
  }
}

// Chooses a menu item whose dialog gets Edits and then OK (or Cancel).
template <class TDialog>
void Confirm(QAction* Item, const TEdits& Edits = {}, bool Ok = true) {
  TModalDriver driver;
  driver.Expect<TDialog>([&](TDialog& dialog) {
    Type(dialog, Edits);
    const char* button = Ok ? (std::is_same_v<TDialog, TEASetupForm> ? "OKButton" : "btnOK")
                            : (std::is_same_v<TDialog, TEASetupForm> ? "CancelButton" : "btnCancel");
    QTest::mouseClick(dialog.template findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
  });
  Item->trigger();
  QCOMPARE(driver.Handled(), 1);
}

void ConfirmArena(TMainForm& Form, const QString& File, bool Ok = true) {
  Confirm<TArenaSetupForm>(Form.Arena1, {{QStringLiteral("ArenaFileBox"), File}}, Ok);
}

struct TSnapshot {
  TEAParameters EA;
  TRobotConfiguration Configuration;
  const TRobot* Robot;

  explicit TSnapshot(TMainForm& Form)
      : EA(Form.EAParameters()),
        Configuration{Form.BodyParameters(), Form.SensorParameters(), Form.MotorParameters(),
                      Form.FSMBrainParameters()},
        Robot(&Form.Robot()) {}
};

void CompareWithSnapshot(TMainForm& Form, const TSnapshot& Before) {
  test::CompareEA(Form.EAParameters(), Before.EA);
  test::CompareBody(Form.BodyParameters(), Before.Configuration.Body);
  test::CompareSensor(Form.SensorParameters(), Before.Configuration.Sensor);
  test::CompareBrain(Form.FSMBrainParameters(), Before.Configuration.Brain);
  QCOMPARE(&Form.Robot(), Before.Robot);
  test::CompareSensorsOf(Form.Robot(), Before.Configuration.Sensor.Range, Before.Configuration.Sensor.OpeningAngle);
}

void CompareMountings(const TRobot& Robot, double Radius) {
  QCOMPARE(Robot.Body->Sensors.Count(), 5);
  for (int i = 1; i <= 5; ++i) {
    const auto& sensor = dynamic_cast<const TIRSensor&>(Robot.Body->Sensors.Items(i));
    const double a = kDefaultSensorDirections[i - 1];
    QCOMPARE(sensor.RelativeDirection, a);
    QCOMPARE(sensor.RelativePosition.GetElement(1), Radius * std::cos(a));
    QCOMPARE(sensor.RelativePosition.GetElement(2), Radius * std::sin(a));
    QCOMPARE(sensor.RelativePosition.GetElement(3), 0.0);
  }
}

}  // namespace

class TMainFormTest : public QObject {
  Q_OBJECT

 private:
  test::TTemporaryFolder folder_;
  QString arenaFile_;

 private slots:
  void initTestCase() { arenaFile_ = Native(folder_.Write("arena.txt", "an arena\n")); }
  void cleanup() { test::CheckNoWindowLeft(); }

  void startsWithTheDefaultsAndRunDisabled() {
    TMainForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Kestrovan, v1.0"));
    QCOMPARE(form.size(), QSize(620, 101));
    QCOMPARE(form.maximumHeight(), 101);
    QCOMPARE(form.minimumWidth(), 600);
    QCOMPARE(form.NameLabel->text(), QStringLiteral("Kestrovan, v1.0"));
    QVERIFY(form.NameLabel->font().bold());
    QCOMPARE(form.NameLabel->font().pixelSize(), 24);
    QVERIFY(!form.RunEvolution1->isEnabled());
    for (QAction* item : {form.Arena1, form.Robot1, form.EvolutionaryAlgorithm1}) {
      QVERIFY(item->isEnabled());
      QVERIFY(!item->isChecked());
    }
    QVERIFY(!form.ArenaSet && !form.RobotSet && !form.EASet);
    QCOMPARE(form.MinimumCylinderSpeed, 0.0);
    QCOMPARE(form.MaximumCylinderSpeed, 0.0);
    QVERIFY(!form.KeepCylinderVelocities);
    QVERIFY(form.ArenaFileName.isEmpty());
    test::CompareEA(form.EAParameters(), TEAParameters());
    const TRobotConfiguration defaults = TRobotConfiguration::Default();
    test::CompareBody(form.BodyParameters(), defaults.Body);
    test::CompareSensor(form.SensorParameters(), defaults.Sensor);
    test::CompareBrain(form.FSMBrainParameters(), defaults.Brain);
    QCOMPARE(form.MotorParameters().Position.GetElement(2), 0.05);
  }

  void buildsTheDefaultRobot() {
    TMainForm form;
    const TRobot& robot = form.Robot();
    QCOMPARE(robot.Name, std::string("Robot"));
    CompareMountings(robot, 0.05);
    test::CompareSensorsOf(robot, 0.125, 0.353);
    QCOMPARE(robot.Body->Motors.Count(), 2);
    const auto& brain = dynamic_cast<const TFSMBrain&>(*robot.Brain);
    QCOMPARE(brain.Genome.Rows(), 5);
    QCOMPARE(brain.Genome.Columns(), 21);
    const auto& body = dynamic_cast<const TDifferentiallySteeredBody&>(*robot.Body);
    QCOMPARE(body.LeftWheel.Radius, 0.01);
  }

  void confirmingAllThreeInAnyOrderEnablesRun_data() {
    QTest::addColumn<QString>("order");
    for (const char* order : {"ARE", "AER", "RAE", "REA", "EAR", "ERA"}) {
      QTest::newRow(order) << QString::fromLatin1(order);
    }
  }
  void confirmingAllThreeInAnyOrderEnablesRun() {
    QFETCH(QString, order);
    TMainForm form;
    for (int i = 0; i < order.size(); ++i) {
      QVERIFY(!form.RunEvolution1->isEnabled());
      switch (order[i].toLatin1()) {
        case 'A': ConfirmArena(form, arenaFile_); break;
        case 'R': Confirm<TRobotSetupForm>(form.Robot1); break;
        default: Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1); break;
      }
    }
    QVERIFY(form.RunEvolution1->isEnabled());
    QVERIFY(form.ArenaSet && form.RobotSet && form.EASet);
    QVERIFY(form.Arena1->isChecked() && form.Robot1->isChecked() && form.EvolutionaryAlgorithm1->isChecked());
    QCOMPARE(form.ArenaFileName, arenaFile_);
  }

  void cancelLeavesFlagsAndObjectsAlone() {
    TMainForm form;
    const TSnapshot before(form);
    ConfirmArena(form, arenaFile_, false);
    Confirm<TRobotSetupForm>(form.Robot1, {{QStringLiteral("MassBox"), QStringLiteral("0.7")}}, false);
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1, {{QStringLiteral("PMutBox"), QStringLiteral("0.3")}}, false);
    QVERIFY(!form.ArenaSet && !form.RobotSet && !form.EASet);
    QVERIFY(!form.Arena1->isChecked() && !form.Robot1->isChecked() && !form.EvolutionaryAlgorithm1->isChecked());
    QVERIFY(form.ArenaFileName.isEmpty());
    CompareWithSnapshot(form, before);

    // once confirmed, a cancelled dialog keeps the flag and the check mark
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1);
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1, {}, false);
    QVERIFY(form.EASet);
    QVERIFY(form.EvolutionaryAlgorithm1->isChecked());
  }

  void aMissingArenaAfterAValidOneDisablesRun() {
    TMainForm form;
    ConfirmArena(form, arenaFile_);
    Confirm<TRobotSetupForm>(form.Robot1);
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1);
    QVERIFY(form.RunEvolution1->isEnabled());
    // the file goes after the dialog accepted it
    const QString doomed = Native(folder_.Write("doomed.txt", "x"));
    TModalDriver driver;
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
    QVERIFY(form.Arena1->isChecked());
  }

  void okWithoutEditsKeepsTheDefaultConfiguration() {
    TMainForm form;
    const TSnapshot before(form);
    Confirm<TRobotSetupForm>(form.Robot1);
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1);
    ConfirmArena(form, arenaFile_);
    // the EA dialog fixes the choices it does not offer
    TEAParameters expectedEA = before.EA;
    expectedEA.CrossoverProbability = 0.0;
    expectedEA.UseRanking = false;
    test::CompareEA(form.EAParameters(), expectedEA);
    QCOMPARE(form.EAParameters().TournamentSize, 4);
    QCOMPARE(form.EAParameters().SelectionMethod, std::uint8_t{0});
    QVERIFY(!form.EAParameters().SteadyStateReplacement);
    const TRobotConfiguration defaults = TRobotConfiguration::Default();
    test::CompareBody(form.BodyParameters(), defaults.Body);
    test::CompareSensor(form.SensorParameters(), defaults.Sensor);
    test::CompareBrain(form.FSMBrainParameters(), defaults.Brain);
    QCOMPARE(form.BodyParameters().WheelRadius, 0.01);
    QCOMPARE(form.SensorParameters().Range, 0.125);
    QCOMPARE(form.SensorParameters().OpeningAngle, 0.353);
    test::CompareSensorsOf(form.Robot(), 0.125, 0.353);
    CompareMountings(form.Robot(), 0.05);
  }

  void aMutationRateTheFormatCannotShowSurvives() {
    TMainForm form;
    form.EAParameters().MutationRate = 0.0125;
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1);
    QCOMPARE(form.EAParameters().MutationRate, 0.0125);
    QCOMPARE(form.FSMBrainParameters().MutationRate, 0.0125);
  }

  void aWiderBodyKeepsTheSensorsAtTheirMounting() {
    TMainForm form;
    const TRobot* before = &form.Robot();
    Confirm<TRobotSetupForm>(form.Robot1, {{QStringLiteral("RadiusBox"), QStringLiteral("0.1")}});
    QVERIFY(&form.Robot() != before);
    QCOMPARE(form.BodyParameters().Radius, 0.1);
    QCOMPARE(dynamic_cast<const TDifferentiallySteeredBody&>(*form.Robot().Body).Radius, 0.1);
    CompareMountings(form.Robot(), 0.05);
  }

  void theEAMutationRateReachesNewBrains() {
    TMainForm form;
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1,
                          {{QStringLiteral("PMutBox"), QStringLiteral("0.1")},
                           {QStringLiteral("PCreepBox"), QStringLiteral("0.25")},
                           {QStringLiteral("CreepRateBox"), QStringLiteral("0.2")}});
    const TFSMBrain brain(form.FSMBrainParameters());
    QCOMPARE(brain.MutationRate, 0.1);
    QCOMPARE(brain.CreepProbability, 0.25);
    QCOMPARE(brain.CreepRate, 0.2);
    // the robot dialog's own rate gives way to the EA's when the robot is rebuilt
    Confirm<TRobotSetupForm>(form.Robot1, {{QStringLiteral("PMutationBox"), QStringLiteral("0.5")}});
    QCOMPARE(dynamic_cast<const TFSMBrain&>(*form.Robot().Brain).MutationRate, 0.1);
    QCOMPARE(form.FSMBrainParameters().MutationRate, 0.1);
  }

  void runEvolutionNeedsTheArenaFileStill() {
    TMainForm form;
    const QString file = Native(folder_.Write("run.txt", "x"));
    ConfirmArena(form, file);
    Confirm<TRobotSetupForm>(form.Robot1);
    Confirm<TEASetupForm>(form.EvolutionaryAlgorithm1);
    TModalDriver driver;
    QString shownTitle;
    driver.Expect<QDialog>([&](QDialog& window) { shownTitle = window.windowTitle(); });
    form.RunEvolution1->trigger();
    QCOMPARE(driver.Handled(), 1);
    QCOMPARE(shownTitle, QStringLiteral("Kestrovan, v1.0 - Evolutionary simulation"));

    std::filesystem::remove(file.toStdString());
    TShownMessage message;
    test::ExpectMessage(driver, message);
    form.RunEvolution1->trigger();
    QVERIFY(message.Shown);
    QVERIFY2(message.Text.contains(file), qPrintable(message.Text));
    QCOMPARE(message.Icon, int(QMessageBox::Critical));
  }

  void aboutBoxFromTheHelpMenu() {
    TMainForm form;
    TModalDriver driver;
    QString caption;
    qsizetype lines = 0;
    driver.Expect<TAboutForm>([&](TAboutForm& about) {
      caption = about.windowTitle();
      lines = about.DescriptionLabel->text().split(QLatin1Char('\n')).size();
      QTest::mouseClick(about.CloseButton, Qt::LeftButton);
      QVERIFY(!about.isVisible());
      QCOMPARE(about.result(), int(QDialog::Rejected));
    });
    form.About1->trigger();
    QCOMPARE(driver.Handled(), 1);
    QCOMPARE(caption, QStringLiteral("Kestrovan, v1.0"));
    QCOMPARE(lines, 7);
  }

  void outOfMemoryIsShownInAMessageBox() {
    TMainForm form;
    TModalDriver driver;
    TShownMessage message;
    test::ExpectMessage(driver, message);
    const int largest = std::numeric_limits<int>::max();
    const TMatrix refused(largest, largest);
    QVERIFY(message.Shown);
    QCOMPARE(message.Text, QStringLiteral("Sorry, out of memory"));
    QCOMPARE(message.Icon, int(QMessageBox::NoIcon));
    QCOMPARE(refused.Rows(), 0);
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
