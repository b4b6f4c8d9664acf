#include <memory>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "robot/DefaultRobot.h"
#include "ui/RobotSetup.h"
#include "ui/NumberText.h"
#include "ui/UiTestSupport.h"

namespace kestrovan {

using test::Localised;
using test::TModalDriver;
using test::TShownMessage;

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

// The dialog on a configuration of its own and a template robot built from it.
struct TRobotDialog {
  TRobotConfiguration Configuration = TRobotConfiguration::Default();
  std::unique_ptr<TRobot> Robot;
  TRobotSetupForm Dialog;

  void Show() {
    Robot = BuildRobot(Configuration, 0.05);
    Robot->Name = "Template";
    Dialog.SetRobot(*Robot);
    Dialog.SetSensorParameters(Configuration.Sensor);
    Dialog.SetBrainParameters(Configuration.Brain);
    Dialog.SetBodyParameters(Configuration.Body);
    Dialog.open();
  }
  QLineEdit* Box(const QString& Name) const { return Dialog.findChild<QLineEdit*>(Name); }
  void Ok() { QTest::mouseClick(Dialog.findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton); }
};

// Fails unless nothing the dialog edits has changed.
void CompareUnchanged(const TRobotDialog& Shown, const TRobotConfiguration& Before) {
  test::CompareBody(Shown.Configuration.Body, Before.Body);
  test::CompareSensor(Shown.Configuration.Sensor, Before.Sensor);
  test::CompareBrain(Shown.Configuration.Brain, Before.Brain);
  test::CompareSensorsOf(*Shown.Robot, Before.Sensor.Range, Before.Sensor.OpeningAngle);
  QCOMPARE(Shown.Robot->Name, std::string("Template"));
}

}  // namespace

class TRobotSetupFormTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { test::CheckNoWindowLeft(); }

  void showsTheParameters() {
    TRobotDialog shown;
    shown.Show();
    QCOMPARE(shown.Dialog.windowTitle(), QStringLiteral("Kestrovan, v1.0 - Robot setup"));
    QCOMPARE(shown.Dialog.size(), QSize(675, 285));
    const std::pair<const char*, const char*> expected[] = {
        {"MassBox", "0.10"},       {"RadiusBox", "0.05"},       {"WheelRadiusBox", "0.01"},
        {"HeightBox", "0.03"},     {"AlphaBox", "0.0040"},      {"BetaBox", "0.0002"},
        {"NStatesBox", "5"},       {"NConditionsBox", "3"},     {"PMutationBox", "0.04"},
        {"PCreepBox", "0.50"},     {"CreepRateBox", "0.05"},    {"SensorRangeBox", "0.125"},
        {"NSensorsBox", "5"},      {"SensorOpeningAngleBox", "20"}};
    for (const auto& [name, text] : expected) {
      QCOMPARE(shown.Box(QString::fromLatin1(name))->text(), Localised(QString::fromLatin1(text)));
    }
    // three decimals in the locale's exponent form
    QVERIFY(shown.Box(QStringLiteral("MomentOfInertiaBox"))->text().startsWith(Localised(QStringLiteral("2.500"))));
    for (const char* greyed : {"RadiusBox", "NSensorsBox", "SensorOpeningAngleBox"}) {
      QVERIFY(!shown.Box(QString::fromLatin1(greyed))->isEnabled());
    }
    const QSlider* trackBar = shown.Dialog.SensorOpeningTrackBar;
    QCOMPARE(trackBar->value(), 20);
    QCOMPARE(trackBar->minimum(), 20);
    QCOMPARE(trackBar->maximum(), 60);
    QCOMPARE(trackBar->pageStep(), 5);
    QCOMPARE(trackBar->tickInterval(), 2);
  }

  void okWithoutEditsChangesNothing_data() {
    QTest::addColumn<bool>("unusual");
    QTest::newRow("defaults") << false;
    QTest::newRow("values the formats cannot show") << true;
  }
  void okWithoutEditsChangesNothing() {
    QFETCH(bool, unusual);
    TRobotDialog shown;
    if (unusual) {
      shown.Configuration.Body.WheelRadius = 0.005;
      shown.Configuration.Body.Mass = 0.1234;
      shown.Configuration.Body.MomentOfInertia = 2.54321e-6;
      shown.Configuration.Body.Alpha = 1.0 / 3.0;
      shown.Configuration.Sensor.Range = 0.1255;
      shown.Configuration.Sensor.OpeningAngle = 1.5;  // shown as 60 degrees
      shown.Configuration.Brain.CreepRate = 0.0125;
    }
    shown.Show();
    const TRobotConfiguration before = shown.Configuration;
    shown.Ok();
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    test::CompareBody(shown.Configuration.Body, before.Body);
    test::CompareSensor(shown.Configuration.Sensor, before.Sensor);
    test::CompareBrain(shown.Configuration.Brain, before.Brain);
    test::CompareSensorsOf(*shown.Robot, before.Sensor.Range, before.Sensor.OpeningAngle);
    QCOMPARE(shown.Robot->Name, std::string("Robot"));
  }

  void opensAtTheNearestWholeDegreeWithinTheTrackBar_data() {
    QTest::addColumn<double>("radians");
    QTest::addColumn<int>("degrees");
    QTest::newRow("default") << 0.353 << 20;
    QTest::newRow("below the range") << 0.1 << 20;
    QTest::newRow("above the range") << 1.5 << 60;
    QTest::newRow("inside") << 0.7 << 40;
    QTest::newRow("rounded up") << 0.62 << 36;
  }
  void opensAtTheNearestWholeDegreeWithinTheTrackBar() {
    QFETCH(double, radians);
    QFETCH(int, degrees);
    TRobotDialog shown;
    shown.Configuration.Sensor.OpeningAngle = radians;
    shown.Show();
    QCOMPARE(shown.Dialog.SensorOpeningTrackBar->value(), degrees);
    QCOMPARE(shown.Box(QStringLiteral("SensorOpeningAngleBox"))->text(), QString::number(degrees));
  }

  void movingTheTrackBarWritesItsAngle() {
    TRobotDialog shown;
    shown.Show();
    QTest::keyClick(shown.Dialog.SensorOpeningTrackBar, Qt::Key_PageUp);
    QCOMPARE(shown.Box(QStringLiteral("SensorOpeningAngleBox"))->text(), QStringLiteral("25"));
    shown.Ok();
    QCOMPARE(shown.Configuration.Sensor.OpeningAngle, 25 * kRadiansPerDegree);
    test::CompareSensorsOf(*shown.Robot, 0.125, 25 * kRadiansPerDegree);
  }

  void acceptedEditsAreWrittenEverywhere() {
    TRobotDialog shown;
    shown.Show();
    const std::pair<const char*, const char*> edits[] = {
        {"MassBox", "0.2"},         {"MomentOfInertiaBox", "3e-6"}, {"WheelRadiusBox", "0.02"},
        {"HeightBox", "0.04"},      {"AlphaBox", "-0.5"},           {"BetaBox", "0"},
        {"NStatesBox", "7"},        {"NConditionsBox", "0"},        {"PMutationBox", "0"},
        {"PCreepBox", "1"},         {"CreepRateBox", "0.2"},        {"SensorRangeBox", "0.3"}};
    for (const auto& [name, text] : edits) {
      shown.Box(QString::fromLatin1(name))->setText(Localised(QString::fromLatin1(text)));
    }
    shown.Ok();
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    const TRobotConfiguration& written = shown.Configuration;
    QCOMPARE(written.Body.Mass, 0.2);
    QCOMPARE(written.Body.Radius, 0.05);
    QCOMPARE(written.Body.MomentOfInertia, 3e-6);
    QCOMPARE(written.Body.WheelRadius, 0.02);
    QCOMPARE(written.Body.Height, 0.04);
    QCOMPARE(written.Body.Alpha, -0.5);
    QCOMPARE(written.Body.Beta, 0.0);
    QCOMPARE(written.Brain.NumberOfStates, 7);
    QCOMPARE(written.Brain.NumberOfConditions, 0);
    QCOMPARE(written.Brain.MutationRate, 0.0);
    QCOMPARE(written.Brain.CreepProbability, 1.0);
    QCOMPARE(written.Brain.CreepRate, 0.2);
    QCOMPARE(written.Sensor.Range, 0.3);
    QCOMPARE(written.Sensor.OpeningAngle, 0.353);
    test::CompareSensorsOf(*shown.Robot, 0.3, 0.353);
    QCOMPARE(shown.Robot->Name, std::string("Robot"));
  }

  void refusedConversionWritesNothing_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("mass") << "MassBox" << "abc" << FloatConversionMessage(QStringLiteral("abc"));
    QTest::newRow("empty range") << "SensorRangeBox" << "" << FloatConversionMessage(QString());
    QTest::newRow("states") << "NStatesBox" << "2.5" << IntegerConversionMessage(Localised(QStringLiteral("2.5")));
    QTest::newRow("last box") << "CreepRateBox" << "0.1x" << FloatConversionMessage(Localised(QStringLiteral("0.1x")));
    QTest::newRow("disabled radius") << "RadiusBox" << "r" << FloatConversionMessage(QStringLiteral("r"));
  }
  void refusedConversionWritesNothing() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    TRobotDialog shown;
    shown.Show();
    const TRobotConfiguration before = shown.Configuration;
    // valid edits before and after the faulty box must not be written either
    shown.Box(QStringLiteral("HeightBox"))->setText(Localised(QStringLiteral("0.5")));
    shown.Box(QStringLiteral("CreepRateBox"))->setText(Localised(QStringLiteral("0.3")));
    QTest::keyClick(shown.Dialog.SensorOpeningTrackBar, Qt::Key_PageUp);
    shown.Box(box)->setText(Localised(text));
    TModalDriver driver;
    TShownMessage shownMessage;
    test::ExpectMessage(driver, shownMessage);
    shown.Ok();
    QVERIFY(shownMessage.Shown);
    QCOMPARE(shownMessage.Text, message);
    QCOMPARE(shownMessage.Icon, int(QMessageBox::Critical));
    QVERIFY(!shownMessage.Detail.isEmpty());
    QVERIFY(shown.Dialog.isVisible());
    CompareUnchanged(shown, before);
    shown.Dialog.reject();
  }

  void refusedRangeWritesNothing_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("mass") << "MassBox" << "0" << "Mass must be greater than 0";
    QTest::newRow("radius") << "RadiusBox" << "-0.05" << "Radius must be greater than 0";
    QTest::newRow("inertia") << "MomentOfInertiaBox" << "0" << "Moment of inertia must be greater than 0";
    QTest::newRow("wheel") << "WheelRadiusBox" << "-0.01" << "Wheel radius must be greater than 0";
    QTest::newRow("height") << "HeightBox" << "0" << "Height must be greater than 0";
    QTest::newRow("range") << "SensorRangeBox" << "0" << "Sensor range must be greater than 0";
    QTest::newRow("states") << "NStatesBox" << "0" << "Number of states must be at least 1";
    QTest::newRow("conditions") << "NConditionsBox" << "-1" << "Number of conditions must be at least 0";
    QTest::newRow("mutation") << "PMutationBox" << "-0.1" << "Parametric mutation rate must not be negative";
    QTest::newRow("creep probability") << "PCreepBox" << "1.5" << "Creep mutation probability must lie between 0 and 1";
    QTest::newRow("creep rate") << "CreepRateBox" << "-0.01" << "Creep rate must not be negative";
    // what the brain itself refuses
    QTest::newRow("genome") << "NStatesBox" << "2000000000" << "too large";
  }
  void refusedRangeWritesNothing() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, named);
    TRobotDialog shown;
    shown.Show();
    const TRobotConfiguration before = shown.Configuration;
    shown.Box(QStringLiteral("BetaBox"))->setText(Localised(QStringLiteral("0.5")));
    shown.Box(box)->setText(Localised(text));
    TModalDriver driver;
    TShownMessage shownMessage;
    test::ExpectMessage(driver, shownMessage);
    shown.Ok();
    QVERIFY(shownMessage.Shown);
    QVERIFY2(shownMessage.Text.contains(named), qPrintable(shownMessage.Text));
    QCOMPARE(shownMessage.Icon, int(QMessageBox::NoIcon));
    QVERIFY(shown.Dialog.isVisible());
    CompareUnchanged(shown, before);
    shown.Dialog.reject();
  }

  void cancelWritesNothing() {
    TRobotDialog shown;
    shown.Show();
    const TRobotConfiguration before = shown.Configuration;
    shown.Box(QStringLiteral("MassBox"))->setText(Localised(QStringLiteral("0.7")));
    shown.Box(QStringLiteral("SensorRangeBox"))->setText(Localised(QStringLiteral("0.2")));
    QTest::keyClick(shown.Dialog.SensorOpeningTrackBar, Qt::Key_PageUp);
    QTest::mouseClick(shown.Dialog.btnCancel, Qt::LeftButton);
    QCOMPARE(shown.Dialog.result(), int(QDialog::Rejected));
    CompareUnchanged(shown, before);
  }
};

QObject* CreateRobotSetupFormTest() { return new TRobotSetupFormTest; }

}  // namespace kestrovan

#include "tst_TRobotSetupForm.moc"
