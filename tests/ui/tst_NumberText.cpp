#include <QTest>

#include "ui/NumberText.h"

namespace kestrovan {

namespace {

QLocale English() { return DialogLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }
QLocale German() { return DialogLocale(QLocale(QLocale::German, QLocale::Germany)); }

}  // namespace

class TNumberTextTest : public QObject {
  Q_OBJECT

 private slots:
  void showsThePrintfTextOnlyWhenItReadsBack() {
    // exponent letters differ between locales
    const auto shown = [](double Value, char Format, int Decimals, const QLocale& Locale) {
      return FormatFloat(Value, Format, Decimals, 5, Locale).toLower();
    };
    QCOMPARE(shown(0.04, 'f', 3, English()), QStringLiteral("0.040"));
    QCOMPARE(shown(0.1, 'f', 2, German()), QStringLiteral(" 0,10"));
    QCOMPARE(shown(2.5e-6, 'e', 3, English()), QStringLiteral("2.500e-06"));
    QCOMPARE(shown(12345.5, 'f', 2, English()), QStringLiteral("12345.50"));
    QCOMPARE(shown(0.0125, 'f', 3, German()), QStringLiteral("0,0125"));
    QCOMPARE(shown(2.54321e-6, 'e', 3, English()), QStringLiteral("2.54321e-06"));
    QCOMPARE(shown(1e-20, 'f', 2, English()), QStringLiteral("1e-20"));
    for (const QLocale& locale : {English(), German()}) {
      for (double value : {0.125, 0.353, 1.0 / 3.0, 0.005, -0.0002, 6.02e23, 0.05 * 3, 1e-300}) {
        for (char format : {'f', 'e'}) {
          QCOMPARE(ParseFloat(FormatFloat(value, format, 2, 0, locale), locale), std::optional<double>(value));
        }
      }
    }
  }

  void readsOnlyWholeNumbersOfTheLocale() {
    QCOMPARE(ParseFloat(QStringLiteral("  0.25 "), English()), std::optional<double>(0.25));
    QCOMPARE(ParseFloat(QStringLiteral("1e3"), English()), std::optional<double>(1000.0));
    QCOMPARE(ParseFloat(QStringLiteral("0,5"), German()), std::optional<double>(0.5));
    for (const char* refused : {"", "abc", "0,5", "1,000.5", "0.5x", "0.5.1", "nan", "inf", "1e400"}) {
      QVERIFY2(!ParseFloat(QString::fromLatin1(refused), English()), refused);
    }
    // under a decimal comma a '.' is a decimal point as well, never a group
    // separator; a text with both separators is refused
    QCOMPARE(ParseFloat(QStringLiteral("1.000"), German()), std::optional<double>(1.0));
    QCOMPARE(ParseFloat(QStringLiteral(" 2.5e-3"), German()), std::optional<double>(0.0025));
    for (const char* refused : {"1.000,5", "1,000.5", "0.5.1", "1.5x", "."}) {
      QVERIFY2(!ParseFloat(QString::fromLatin1(refused), German()), refused);
    }
    QCOMPARE(ParseInteger(QStringLiteral(" -7 "), English()), std::optional<std::int32_t>(-7));
    QCOMPARE(ParseInteger(QStringLiteral("2147483647"), English()), std::optional<std::int32_t>(2147483647));
    for (const char* refused : {"", "four", "1.5", "1,000", "2147483648"}) {
      QVERIFY2(!ParseInteger(QString::fromLatin1(refused), English()), refused);
    }
  }
};

QObject* CreateNumberTextTest() { return new TNumberTextTest; }

}  // namespace kestrovan

#include "tst_NumberText.moc"
