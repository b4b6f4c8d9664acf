#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ui/EASetup.h"
#include "ui/NumberText.h"
#include "ui/UiTestSupport.h"

namespace kestrovan {

using test::Fields;
using test::Localised;

namespace {

struct TEADialog {
  TEAParameters Parameters;
  TEASetupForm Dialog;

  void Show() {
    Dialog.SetEAParameters(Parameters);
    Dialog.open();
  }
  QLineEdit* Box(const char* Name) const { return test::Box(Dialog, Name); }
  void Type(const char* Name, const char* Text) const { test::TypeNumber(Dialog, Name, Text); }
  void Ok() { QTest::mouseClick(Dialog.OKButton, Qt::LeftButton); }
};

}  // namespace

class TEASetupFormTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { test::CheckNoWindowLeft(); }

  void returnIsOkAndEscapeIsCancel() {
    TEADialog shown;
    shown.Show();
    shown.Box("PMutBox")->setText(QStringLiteral("0.125"));  // '.' in every locale
    QTest::keyClick(&shown.Dialog, Qt::Key_Escape);
    QCOMPARE(shown.Dialog.result(), int(QDialog::Rejected));
    QCOMPARE(shown.Parameters.MutationRate, TEAParameters().MutationRate);
    shown.Show();
    shown.Box("PMutBox")->setText(QStringLiteral("0.125"));
    QTest::keyClick(shown.Box("PMutBox"), Qt::Key_Return);
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    QCOMPARE(shown.Parameters.MutationRate, 0.125);
  }

  void okWithoutEditsKeepsValuesAndFixesTheOtherChoices() {
    TEADialog shown;
    shown.Parameters.CreepRate = 1.0 / 3.0;
    shown.Parameters.SelectionMethod = 1;
    shown.Parameters.SteadyStateReplacement = true;
    shown.Parameters.CreepMethod = 0;
    shown.Show();
    const std::pair<const char*, const char*> expectedTexts[] = {{"PopSizeBox", "100"},
                                                                 {"TournamentSizeBox", "4"},
                                                                 {"PTourBox", "0.725"},
                                                                 {"PMutBox", "0.040"},
                                                                 {"PCreepBox", "0.500"}};
    for (const auto& [name, text] : expectedTexts) {
      QCOMPARE(shown.Box(name)->text(), Localised(QString::fromLatin1(text)));
    }
    QVERIFY(shown.Dialog.ElitismCheckBox->isChecked());
    QVERIFY(shown.Dialog.GeometricCreepButton->isChecked());
    TEAParameters expected = shown.Parameters;
    expected.SelectionMethod = 0;
    expected.CrossoverProbability = 0.0;
    expected.SteadyStateReplacement = false;
    expected.UseRanking = false;
    expected.CreepMethod = 1;
    shown.Ok();
    QCOMPARE(shown.Dialog.result(), int(QDialog::Accepted));
    QVERIFY(Fields(shown.Parameters) == Fields(expected));
  }

  void acceptedEditsAreWritten() {
    TEADialog shown;
    shown.Show();
    for (const auto& [name, text] : {std::pair{"PopSizeBox", "3"},
                                     {"TournamentSizeBox", "1"},
                                     {"PTourBox", "1"},
                                     {"PMutBox", "0.0125"},
                                     {"PCreepBox", "0"}}) {
      shown.Type(name, text);
    }
    // typed with '.' whatever the locale's separator is
    shown.Box("CreepRateBox")->setText(QStringLiteral(" 0.25 "));
    QTest::mouseClick(shown.Dialog.ElitismCheckBox, Qt::LeftButton);
    TEAParameters expected = shown.Parameters;
    expected.PopulationSize = 3;
    expected.TournamentSize = 1;
    expected.TournamentWinnerProbability = 1.0;
    expected.MutationRate = 0.0125;
    expected.CreepProbability = 0.0;
    expected.CreepRate = 0.25;
    expected.UseElitism = false;
    expected.CrossoverProbability = 0.0;
    expected.UseRanking = false;
    shown.Ok();
    QVERIFY(Fields(shown.Parameters) == Fields(expected));
    // shown again, the rate keeps its digits
    TEASetupForm again;
    again.SetEAParameters(shown.Parameters);
    QCOMPARE(again.PMutBox->text(), Localised(QStringLiteral("0.0125")));
  }

  void aRefusedBoxWritesNothing_data() {
    test::AddRefusalColumns();
    const auto refused = test::AddRefusalRow;
    refused("PopSizeBox", "abc", IntegerConversionMessage(QStringLiteral("abc")), true);
    refused("TournamentSizeBox", "4.5", IntegerConversionMessage(Localised(QStringLiteral("4.5"))), true);
    refused("PTourBox", "abc", FloatConversionMessage(QStringLiteral("abc")), true);
    refused("PMutBox", "", FloatConversionMessage(QString()), true);
    refused("PCreepBox", "nan", FloatConversionMessage(QStringLiteral("nan")), true);
    refused("CreepRateBox", "0.5.1", FloatConversionMessage(Localised(QStringLiteral("0.5.1"))), true);
    refused("PopSizeBox", "2", QStringLiteral("Population size must be at least 3."), false);
    refused("TournamentSizeBox", "0", QStringLiteral("Tournament size must be at least 1."), false);
    const QString winner = QStringLiteral("Probability of winner selection must lie between 0 and 1.");
    refused("PTourBox", "1.01", winner, false);
    refused("PTourBox", "-0.1", winner, false);
    refused("PMutBox", "-0.01", QStringLiteral("Mutation rate must lie between 0 and 1."), false);
    refused("PCreepBox", "2", QStringLiteral("Probability of creep mutation must lie between 0 and 1."), false);
    refused("CreepRateBox", "-0.5", QStringLiteral("Creep rate must not be negative."), false);
  }
  void aRefusedBoxWritesNothing() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(bool, conversion);
    TEADialog shown;
    shown.Show();
    const TEAParameters before = shown.Parameters;
    // valid edits before and after the refused box are not written either
    shown.Type("PopSizeBox", "50");
    shown.Type("CreepRateBox", "0.3");
    QTest::mouseClick(shown.Dialog.ElitismCheckBox, Qt::LeftButton);
    shown.Dialog.findChild<QLineEdit*>(box)->setText(text);
    const test::TShownMessage shownMessage = test::ClickExpectingMessage(shown.Dialog.OKButton);
    QCOMPARE(shownMessage.Text, message);
    QCOMPARE(shownMessage.Icon, int(conversion ? QMessageBox::Critical : QMessageBox::NoIcon));
    QVERIFY(shown.Dialog.isVisible());
    QTest::mouseClick(shown.Dialog.CancelButton, Qt::LeftButton);
    QCOMPARE(shown.Dialog.result(), int(QDialog::Rejected));
    QVERIFY(Fields(shown.Parameters) == Fields(before));
  }
};

QObject* CreateEASetupFormTest() { return new TEASetupFormTest; }

}  // namespace kestrovan

#include "tst_TEASetupForm.moc"
