#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <memory>

#include "ui/NumberText.h"
#include "ui/RobotSetup.h"
#include "ui/UiTestSupport.h"

namespace kestrovan {

using test::Fields;
using test::Localised;

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
  QLineEdit* Box(const char* Name) const { return test::Box(Dialog, Name); }
  void Type(const char* Name, const char* Text) const { test::TypeNumber(Dialog, Name, Text); }
  void Ok() { QTest::mouseClick(Dialog.btnOK, Qt::LeftButton); }
};

}  // namespace

class TRobotSetupFormTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { test::CheckNoWindowLeft(); }

  void returnIsOkAndEscapeIsCancel() {
    TRobotDialog shown;
    shown.Show();
    shown.Box("MassBox")->setText(QStringLiteral("0.25"));  // '.' in every locale
    QTest::keyClick(&shown.Dialog, Qt::Key_Escape);
    QCOMPARE(shown.Dialog.result(), int(QDialog::Rejected));
    QCOMPARE(shown.Configuration.Body.Mass, TRobotConfiguration::Default().Body.Mass);
    shown.Show();
    shown.Box("MassBox")->setText(QStringLiteral("0.25"));
    QTest::keyClick(shown.Box("MassBox"), Qt::Key_Return);
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    QCOMPARE(shown.Configuration.Body.Mass, 0.25);
  }

  void showsTheParameters() {
    TRobotDialog shown;
    shown.Show();
    const std::pair<const char*, const char*> expected[] = {
        {"MassBox", "0.10"},         {"RadiusBox", "0.05"}, {"WheelRadiusBox", "0.01"},
        {"AlphaBox", "0.0040"},      {"NStatesBox", "5"},   {"PCreepBox", "0.50"},
        {"SensorRangeBox", "0.125"}, {"NSensorsBox", "5"},  {"SensorOpeningAngleBox", "20"}};
    for (const auto& [name, text] : expected) {
      QCOMPARE(shown.Box(name)->text(), Localised(QString::fromLatin1(text)));
    }
    QCOMPARE(ParseFloat(shown.Box("MomentOfInertiaBox")->text(), DialogLocale()), std::optional<double>(2.5e-6));
    for (const char* greyed : {"RadiusBox", "NSensorsBox", "SensorOpeningAngleBox"}) {
      QVERIFY(!shown.Box(greyed)->isEnabled());
    }
  }

  void okWithoutEditsChangesNothing() {
    TRobotDialog shown;
    // values the display formats cannot show exactly
    shown.Configuration.Body.WheelRadius = 0.005;
    shown.Configuration.Body.MomentOfInertia = 2.54321e-6;
    shown.Configuration.Body.Alpha = 1.0 / 3.0;
    shown.Configuration.Sensor.Range = 0.1255;
    shown.Configuration.Brain.CreepRate = 0.0125;
    shown.Show();
    const TRobotConfiguration before = shown.Configuration;
    shown.Ok();
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    QVERIFY(Fields(shown.Configuration) == Fields(before));
    test::CompareSensors(*shown.Robot, 0.05, 0.1255, 0.353);
    QCOMPARE(shown.Robot->Name, std::string("Robot"));
  }

  void theOpeningAngleGoesThroughTheTrackBar() {
    // shown at the nearest whole degree, limited to the track bar's range
    const std::pair<double, int> shownAs[] = {{0.353, 20}, {0.1, 20}, {1.5, 60}, {0.62, 36}};
    for (const auto& [radians, degrees] : shownAs) {
      QCOMPARE(TRobotSetupForm::OpeningAngleDegrees(radians), degrees);
    }
    TRobotDialog shown;
    shown.Configuration.Sensor.OpeningAngle = 1.5;
    shown.Show();
    QCOMPARE(shown.Dialog.SensorOpeningTrackBar->value(), 60);
    QCOMPARE(shown.Box("SensorOpeningAngleBox")->text(), QStringLiteral("60"));
    QTest::keyClick(shown.Dialog.SensorOpeningTrackBar, Qt::Key_PageDown);
    QCOMPARE(shown.Box("SensorOpeningAngleBox")->text(), QStringLiteral("55"));
    shown.Ok();
    QCOMPARE(shown.Configuration.Sensor.OpeningAngle, 55 * kRadiansPerDegree);
    test::CompareSensors(*shown.Robot, 0.05, 0.125, 55 * kRadiansPerDegree);
  }

  void acceptedEditsAreWrittenEverywhere() {
    TRobotDialog shown;
    shown.Show();
    const std::pair<const char*, const char*> edits[] = {
        {"MassBox", "0.2"},    {"MomentOfInertiaBox", "3e-6"}, {"WheelRadiusBox", "0.02"},
        {"HeightBox", "0.04"}, {"AlphaBox", "-0.5"},           {"BetaBox", "0"},
        {"NStatesBox", "7"},   {"NConditionsBox", "0"},        {"PMutationBox", "0"},
        {"PCreepBox", "1"},    {"CreepRateBox", "0.2"},        {"SensorRangeBox", "0.3"}};
    for (const auto& [name, text] : edits) {
      shown.Type(name, text);
    }
    shown.Ok();
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    TRobotConfiguration expected = TRobotConfiguration::Default();
    expected.Body = shown.Configuration.Body;
    expected.Body.Mass = 0.2;
    expected.Body.MomentOfInertia = 3e-6;
    expected.Body.WheelRadius = 0.02;
    expected.Body.Height = 0.04;
    expected.Body.Alpha = -0.5;
    expected.Body.Beta = 0.0;
    expected.Brain.NumberOfStates = 7;
    expected.Brain.NumberOfConditions = 0;
    expected.Brain.MutationRate = 0.0;
    expected.Brain.CreepProbability = 1.0;
    expected.Brain.CreepRate = 0.2;
    expected.Sensor.Range = 0.3;
    QVERIFY(Fields(shown.Configuration) == Fields(expected));
    test::CompareSensors(*shown.Robot, 0.05, 0.3, 0.353);
  }

  void aRefusedBoxWritesNothing_data() {
    test::AddRefusalColumns();
    const auto refused = test::AddRefusalRow;
    refused("MassBox", "abc", FloatConversionMessage(QStringLiteral("abc")), true);
    refused("RadiusBox", "", FloatConversionMessage(QString()), true);
    refused("NStatesBox", "2.5", IntegerConversionMessage(Localised(QStringLiteral("2.5"))), true);
    refused("CreepRateBox", "0.1x", FloatConversionMessage(Localised(QStringLiteral("0.1x"))), true);
    refused("MassBox", "0", QStringLiteral("Mass must be greater than 0."), false);
    refused("RadiusBox", "-0.05", QStringLiteral("Radius must be greater than 0."), false);
    refused("MomentOfInertiaBox", "0", QStringLiteral("Moment of inertia must be greater than 0."), false);
    refused("WheelRadiusBox", "-0.01", QStringLiteral("Wheel radius must be greater than 0."), false);
    refused("HeightBox", "0", QStringLiteral("Height must be greater than 0."), false);
    refused("SensorRangeBox", "0", QStringLiteral("Sensor range must be greater than 0."), false);
    refused("NStatesBox", "0", QStringLiteral("Number of states must be at least 1."), false);
    refused("NConditionsBox", "-1", QStringLiteral("Number of conditions must be at least 0."), false);
    refused("PMutationBox", "-0.1", QStringLiteral("Parametric mutation rate must not be negative."), false);
    refused("PCreepBox", "1.5", QStringLiteral("Creep mutation probability must lie between 0 and 1."), false);
    refused("CreepRateBox", "-0.01", QStringLiteral("Creep rate must not be negative."), false);
    // what the brain itself refuses
    refused("NStatesBox", "2000000000", QStringLiteral("too large"), false);
  }
  void aRefusedBoxWritesNothing() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(bool, conversion);
    TRobotDialog shown;
    shown.Show();
    const TRobotConfiguration before = shown.Configuration;
    // valid edits before and after the refused box are not written either
    shown.Type("HeightBox", "0.5");
    shown.Type("CreepRateBox", "0.3");
    QTest::keyClick(shown.Dialog.SensorOpeningTrackBar, Qt::Key_PageUp);
    shown.Dialog.findChild<QLineEdit*>(box)->setText(text);
    const test::TShownMessage shownMessage = test::ClickExpectingMessage(shown.Dialog.btnOK);
    QVERIFY2(shownMessage.Text.contains(message), qPrintable(shownMessage.Text));
    QCOMPARE(shownMessage.Icon, int(conversion ? QMessageBox::Critical : QMessageBox::NoIcon));
    QVERIFY(shown.Dialog.isVisible());
    QVERIFY(Fields(shown.Configuration) == Fields(before));
    test::CompareSensors(*shown.Robot, 0.05, 0.125, 0.353);
    QCOMPARE(shown.Robot->Name, std::string("Template"));
    QTest::mouseClick(shown.Dialog.btnCancel, Qt::LeftButton);
    QCOMPARE(shown.Dialog.result(), int(QDialog::Rejected));
    QVERIFY(Fields(shown.Configuration) == Fields(before));
  }
};

QObject* CreateRobotSetupFormTest() { return new TRobotSetupFormTest; }

}  // namespace kestrovan

#include "tst_TRobotSetupForm.moc"
