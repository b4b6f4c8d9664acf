#include "ui/UiTestSupport.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QTest>
#include <cmath>

#include "numerics/Trig.h"
#include "robot/IRSensor.h"

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
    Message = {box.text(), box.icon(), true, box.informativeText()};
  });
}

TShownMessage ClickExpectingMessage(QAbstractButton* Button) {
  TModalDriver driver;
  TShownMessage message;
  ExpectMessage(driver, message);
  QTest::mouseClick(Button, Qt::LeftButton);
  return message;
}

QLineEdit* Box(const QWidget& Dialog, const char* Name) {
  return Dialog.findChild<QLineEdit*>(QString::fromLatin1(Name));
}

void TypeNumber(const QWidget& Dialog, const char* Name, const char* Text) {
  Box(Dialog, Name)->setText(Localised(QString::fromLatin1(Text)));
}

void AddRefusalColumns() {
  QTest::addColumn<QString>("box");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("message");
  QTest::addColumn<bool>("conversion");
}

void AddRefusalRow(const char* Box, const char* Text, const QString& Message, bool Conversion) {
  QTest::addRow("%s '%s'", Box, Text) << QString::fromLatin1(Box) << Localised(QString::fromLatin1(Text)) << Message
                                      << Conversion;
}

void CheckNoWindowLeft() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QStringList left;
  for (const QWidget* window : QApplication::topLevelWidgets()) {
    left << QString::fromLatin1(window->metaObject()->className()) + QLatin1Char(' ') + window->objectName();
  }
  QVERIFY2(left.isEmpty(), qPrintable(left.join(QStringLiteral(", "))));
}

QString Localised(QString Text) { return Text.replace(QLatin1Char('.'), QLocale::system().decimalPoint()); }

void CompareSensors(const TRobot& Robot, double Mounting, double Range, double OpeningAngle) {
  QCOMPARE(Robot.Body->Sensors.Count(), 5);
  for (int i = 1; i <= 5; ++i) {
    const auto& sensor = dynamic_cast<const TIRSensor&>(Robot.Body->Sensors.Items(i));
    const double a = kDefaultSensorDirections[i - 1];
    QCOMPARE(sensor.RelativeDirection, a);
    QCOMPARE(sensor.RelativePosition.GetElement(1), Mounting * trig::cos(a));
    QCOMPARE(sensor.RelativePosition.GetElement(2), Mounting * trig::sin(a));
    QCOMPARE(sensor.RelativePosition.GetElement(3), 0.0);
    QCOMPARE(sensor.Range, Range);
    QCOMPARE(sensor.OpeningAngle, OpeningAngle);
  }
}

}  // namespace kestrovan::test
