#include "ui/UiTestSupport.h"

#include <QMessageBox>
#include <QTest>

#include "ea/EAParameters.h"
#include "robot/DifferentiallySteeredBody.h"
#include "robot/FSMBrain.h"
#include "robot/IRSensor.h"
#include "robot/Robot.h"

namespace kestrovan::test {

TModalDriver::TModalDriver() {
  QObject::connect(&watchdog_, &QTimer::timeout, [this] { Watch(); });
  watchdog_.start(5);
}

TModalDriver::~TModalDriver() {
  if (!unexpected_.isEmpty()) {
    QTest::qFail(qPrintable(QStringLiteral("unexpected modal windows: ") + unexpected_.join(QStringLiteral("; "))),
                 __FILE__, __LINE__);
  }
}

void TModalDriver::Watch() {
  auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
  if (modal == nullptr || waiting_ > 0) {
    unexpectedPolls_ = 0;
    return;
  }
  if (++unexpectedPolls_ <= kPatience) {
    return;
  }
  unexpectedPolls_ = 0;
  const auto* box = qobject_cast<QMessageBox*>(modal);
  unexpected_ << QString::fromLatin1(modal->metaObject()->className()) + QLatin1Char(' ') +
                     (box != nullptr ? box->text() : modal->windowTitle());
  modal->done(QDialog::Rejected);
}

void ExpectMessage(TModalDriver& Driver, TShownMessage& Message) {
  Driver.Expect<QMessageBox>([&Message](QMessageBox& box) {
    Message.Text = box.text();
    Message.Detail = box.informativeText();
    Message.Icon = box.icon();
    Message.Shown = true;
  });
}

void CheckNoWindowLeft() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QStringList left;
  for (const QWidget* window : QApplication::topLevelWidgets()) {
    left << QString::fromLatin1(window->metaObject()->className()) + QLatin1Char(' ') + window->objectName();
  }
  QVERIFY2(left.isEmpty(), qPrintable(left.join(QStringLiteral(", "))));
}

QString Localised(QString Text) {
  return Text.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

void CompareEA(const TEAParameters& Actual, const TEAParameters& Expected) {
  QCOMPARE(Actual.PopulationSize, Expected.PopulationSize);
  QCOMPARE(Actual.SelectionMethod, Expected.SelectionMethod);
  QCOMPARE(Actual.TournamentSize, Expected.TournamentSize);
  QCOMPARE(Actual.TournamentWinnerProbability, Expected.TournamentWinnerProbability);
  QCOMPARE(Actual.UseRanking, Expected.UseRanking);
  QCOMPARE(Actual.UseElitism, Expected.UseElitism);
  QCOMPARE(Actual.SteadyStateReplacement, Expected.SteadyStateReplacement);
  QCOMPARE(Actual.CrossoverProbability, Expected.CrossoverProbability);
  QCOMPARE(Actual.CrossoverType, Expected.CrossoverType);
  QCOMPARE(Actual.MutationRate, Expected.MutationRate);
  QCOMPARE(Actual.CreepProbability, Expected.CreepProbability);
  QCOMPARE(Actual.CreepMethod, Expected.CreepMethod);
  QCOMPARE(Actual.CreepRate, Expected.CreepRate);
}

void CompareBody(const TDifferentiallySteeredBodyParameters& Actual,
                 const TDifferentiallySteeredBodyParameters& Expected) {
  QCOMPARE(Actual.Mass, Expected.Mass);
  QCOMPARE(Actual.Radius, Expected.Radius);
  QCOMPARE(Actual.MomentOfInertia, Expected.MomentOfInertia);
  QCOMPARE(Actual.WheelRadius, Expected.WheelRadius);
  QCOMPARE(Actual.Height, Expected.Height);
  QCOMPARE(Actual.Alpha, Expected.Alpha);
  QCOMPARE(Actual.Beta, Expected.Beta);
}

void CompareSensor(const TIRSensorParameters& Actual, const TIRSensorParameters& Expected) {
  QCOMPARE(Actual.Range, Expected.Range);
  QCOMPARE(Actual.OpeningAngle, Expected.OpeningAngle);
  QCOMPARE(Actual.InitialReading, Expected.InitialReading);
  QCOMPARE(Actual.RelativeDirection, Expected.RelativeDirection);
  for (int i = 1; i <= 3; ++i) {
    QCOMPARE(Actual.RelativePosition.GetElement(i), Expected.RelativePosition.GetElement(i));
  }
}

void CompareBrain(const TFSMBrainParameters& Actual, const TFSMBrainParameters& Expected) {
  QCOMPARE(Actual.NumberOfStates, Expected.NumberOfStates);
  QCOMPARE(Actual.NumberOfConditions, Expected.NumberOfConditions);
  QCOMPARE(Actual.NumberOfInputs, Expected.NumberOfInputs);
  QCOMPARE(Actual.MutationRate, Expected.MutationRate);
  QCOMPARE(Actual.CreepProbability, Expected.CreepProbability);
  QCOMPARE(Actual.CreepRate, Expected.CreepRate);
}

void CompareSensorsOf(const TRobot& Robot, double Range, double OpeningAngle) {
  QVERIFY(Robot.Body != nullptr);
  QCOMPARE(Robot.Body->Sensors.Count(), 5);
  for (int i = 1; i <= Robot.Body->Sensors.Count(); ++i) {
    const auto* sensor = dynamic_cast<const TIRSensor*>(&Robot.Body->Sensors.Items(i));
    QVERIFY(sensor != nullptr);
    QCOMPARE(sensor->Range, Range);
    QCOMPARE(sensor->OpeningAngle, OpeningAngle);
  }
}

}  // namespace kestrovan::test
