#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ea/EAParameters.h"
#include "ui/EASetup.h"
#include "ui/NumberText.h"
#include "ui/UiTestSupport.h"

namespace kestrovan {

using test::Localised;
using test::TModalDriver;
using test::TShownMessage;

namespace {

struct TEADialog {
  TEAParameters Parameters;
  TEASetupForm Dialog;

  void Show() {
    Dialog.SetEAParameters(Parameters);
    Dialog.open();
  }
  QLineEdit* Box(const QString& Name) const { return Dialog.findChild<QLineEdit*>(Name); }
  void Ok() { QTest::mouseClick(Dialog.findChild<QPushButton*>(QStringLiteral("OKButton")), Qt::LeftButton); }
};

// Clicks OK and expects a refusal; returns the message shown.
TShownMessage RefusedOk(TEADialog& Shown) {
  TModalDriver driver;
  TShownMessage message;
  test::ExpectMessage(driver, message);
  Shown.Ok();
  return message;
}

}  // namespace

class TEASetupFormTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { test::CheckNoWindowLeft(); }

  void showsTheParameters() {
    TEADialog shown;
    shown.Show();
    QCOMPARE(shown.Dialog.windowTitle(), QStringLiteral("Kestrovan, v1.0 - Evolutionary algorithm setup"));
    QCOMPARE(shown.Dialog.size(), QSize(471, 195));
    QCOMPARE(shown.Box(QStringLiteral("PopSizeBox"))->text(), QStringLiteral("100"));
    QCOMPARE(shown.Box(QStringLiteral("TournamentSizeBox"))->text(), QStringLiteral("4"));
    QCOMPARE(shown.Box(QStringLiteral("PTourBox"))->text(), Localised(QStringLiteral("0.725")));
    QCOMPARE(shown.Box(QStringLiteral("PMutBox"))->text(), Localised(QStringLiteral("0.040")));
    QCOMPARE(shown.Box(QStringLiteral("PCreepBox"))->text(), Localised(QStringLiteral("0.500")));
    QCOMPARE(shown.Box(QStringLiteral("CreepRateBox"))->text(), Localised(QStringLiteral("0.050")));
    QVERIFY(shown.Dialog.ElitismCheckBox->isChecked());
    QVERIFY(shown.Dialog.GeometricCreepButton->isChecked());
  }

  void okWithoutEditsKeepsValuesAndFixesTheOtherChoices() {
    TEADialog shown;
    shown.Parameters.MutationRate = 0.0125;
    shown.Parameters.CreepRate = 1.0 / 3.0;
    shown.Parameters.UseElitism = false;
    shown.Parameters.SelectionMethod = 1;
    shown.Parameters.SteadyStateReplacement = true;
    shown.Parameters.CreepMethod = 0;
    shown.Show();
    QCOMPARE(shown.Box(QStringLiteral("PMutBox"))->text(), Localised(QStringLiteral("0.0125")));
    TEAParameters expected = shown.Parameters;
    expected.SelectionMethod = 0;
    expected.CrossoverProbability = 0.0;
    expected.SteadyStateReplacement = false;
    expected.UseRanking = false;
    expected.CreepMethod = 1;
    shown.Ok();
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    test::CompareEA(shown.Parameters, expected);
    QCOMPARE(shown.Parameters.TournamentSize, 4);
  }

  void acceptedEditsAreWritten() {
    TEADialog shown;
    shown.Show();
    shown.Box(QStringLiteral("PopSizeBox"))->setText(QStringLiteral("3"));
    shown.Box(QStringLiteral("TournamentSizeBox"))->setText(QStringLiteral("1"));
    shown.Box(QStringLiteral("PTourBox"))->setText(QStringLiteral("1"));
    shown.Box(QStringLiteral("PMutBox"))->setText(Localised(QStringLiteral("0.1")));
    shown.Box(QStringLiteral("PCreepBox"))->setText(QStringLiteral("0"));
    shown.Box(QStringLiteral("CreepRateBox"))->setText(Localised(QStringLiteral(" 0.25 ")));
    QTest::mouseClick(shown.Dialog.ElitismCheckBox, Qt::LeftButton);
    shown.Ok();
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    QCOMPARE(shown.Parameters.PopulationSize, 3);
    QCOMPARE(shown.Parameters.TournamentSize, 1);
    QCOMPARE(shown.Parameters.TournamentWinnerProbability, 1.0);
    QCOMPARE(shown.Parameters.MutationRate, 0.1);
    QCOMPARE(shown.Parameters.CreepProbability, 0.0);
    QCOMPARE(shown.Parameters.CreepRate, 0.25);
    QCOMPARE(shown.Parameters.UseElitism, false);
  }

  void refusedConversionWritesNothing_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("population") << "PopSizeBox" << "abc" << IntegerConversionMessage(QStringLiteral("abc"));
    QTest::newRow("tournament") << "TournamentSizeBox" << "4.5"
                                << IntegerConversionMessage(Localised(QStringLiteral("4.5")));
    QTest::newRow("winner") << "PTourBox" << "abc" << FloatConversionMessage(QStringLiteral("abc"));
    QTest::newRow("mutation") << "PMutBox" << "" << FloatConversionMessage(QString());
    QTest::newRow("creep") << "PCreepBox" << "nan" << FloatConversionMessage(QStringLiteral("nan"));
    QTest::newRow("creep rate") << "CreepRateBox" << "0.5.1"
                                << FloatConversionMessage(Localised(QStringLiteral("0.5.1")));
  }
  void refusedConversionWritesNothing() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    TEADialog shown;
    shown.Show();
    const TEAParameters before = shown.Parameters;
    // valid edits before and after the faulty box must not be written either
    shown.Box(QStringLiteral("PopSizeBox"))->setText(QStringLiteral("50"));
    shown.Box(QStringLiteral("CreepRateBox"))->setText(Localised(QStringLiteral("0.3")));
    shown.Box(box)->setText(Localised(text));
    const TShownMessage shownMessage = RefusedOk(shown);
    QVERIFY(shownMessage.Shown);
    QCOMPARE(shownMessage.Text, message);
    QCOMPARE(shownMessage.Icon, int(QMessageBox::Critical));
    QVERIFY(shown.Dialog.isVisible());
    test::CompareEA(shown.Parameters, before);
    shown.Dialog.reject();
  }

  void refusedRangeWritesNothing_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("population") << "PopSizeBox" << "2" << "Population size must be at least 3";
    QTest::newRow("tournament") << "TournamentSizeBox" << "0" << "Tournament size must be at least 1";
    QTest::newRow("winner above") << "PTourBox" << "1.01" << "Probability of winner selection must lie between 0 and 1";
    QTest::newRow("winner below") << "PTourBox" << "-0.1" << "Probability of winner selection must lie between 0 and 1";
    QTest::newRow("mutation") << "PMutBox" << "-0.01" << "Mutation rate must lie between 0 and 1";
    QTest::newRow("creep") << "PCreepBox" << "2" << "Probability of creep mutation must lie between 0 and 1";
    QTest::newRow("creep rate") << "CreepRateBox" << "-0.5" << "Creep rate must not be negative";
  }
  void refusedRangeWritesNothing() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, named);
    TEADialog shown;
    shown.Show();
    const TEAParameters before = shown.Parameters;
    shown.Box(QStringLiteral("PCreepBox"))->setText(Localised(QStringLiteral("0.25")));
    shown.Box(box)->setText(Localised(text));
    const TShownMessage shownMessage = RefusedOk(shown);
    QVERIFY(shownMessage.Shown);
    QVERIFY2(shownMessage.Text.contains(named), qPrintable(shownMessage.Text));
    QCOMPARE(shownMessage.Icon, int(QMessageBox::NoIcon));
    QVERIFY(shown.Dialog.isVisible());
    test::CompareEA(shown.Parameters, before);
    shown.Dialog.reject();
  }

  void cancelWritesNothing() {
    TEADialog shown;
    shown.Show();
    const TEAParameters before = shown.Parameters;
    shown.Box(QStringLiteral("PopSizeBox"))->setText(QStringLiteral("20"));
    QTest::mouseClick(shown.Dialog.ElitismCheckBox, Qt::LeftButton);
    QTest::mouseClick(shown.Dialog.CancelButton, Qt::LeftButton);
    QCOMPARE(shown.Dialog.result(), int(QDialog::Rejected));
    test::CompareEA(shown.Parameters, before);
  }
};

QObject* CreateEASetupFormTest() { return new TEASetupFormTest; }

}  // namespace kestrovan

#include "tst_TEASetupForm.moc"
