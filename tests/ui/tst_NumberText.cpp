#include <cmath>
#include <limits>

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
  void formatsAsPrintfWhenTheTextReadsBack_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<char>("format");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");
    QTest::newRow("mass") << 0.1 << 'f' << 2 << 0 << "0.10" << "0,10";
    QTest::newRow("alpha") << 0.004 << 'f' << 4 << 0 << "0.0040" << "0,0040";
    QTest::newRow("inertia") << 2.5e-6 << 'e' << 3 << 0 << "2.500e-06" << "2,500E-06";
    QTest::newRow("winner") << 0.725 << 'f' << 3 << 5 << "0.725" << "0,725";
    QTest::newRow("mutation") << 0.04 << 'f' << 3 << 5 << "0.040" << "0,040";
    QTest::newRow("no group separator") << 12345.5 << 'f' << 2 << 0 << "12345.50" << "12345,50";
    // texts that would lose digits fall back to the shortest exact text
    QTest::newRow("range") << 0.125 << 'f' << 2 << 0 << "0.125" << "0,125";
    QTest::newRow("wheel") << 0.005 << 'f' << 2 << 0 << "0.005" << "0,005";
    QTest::newRow("rate") << 0.0125 << 'f' << 3 << 5 << "0.0125" << "0,0125";
    QTest::newRow("tiny") << 1e-20 << 'f' << 2 << 0 << "1e-20" << "1E-20";
    QTest::newRow("inertia digits") << 2.54321e-6 << 'e' << 3 << 0 << "2.54321e-06" << "2,54321E-06";
  }
  void formatsAsPrintfWhenTheTextReadsBack() {
    QFETCH(double, value);
    QFETCH(char, format);
    QFETCH(int, decimals);
    QFETCH(int, width);
    QFETCH(QString, english);
    QFETCH(QString, german);
    // the exponent letter is the locale's own
    QCOMPARE(FormatFloat(value, format, decimals, width, English()).toUpper(), english.toUpper());
    QCOMPARE(FormatFloat(value, format, decimals, width, German()).toUpper(), german.toUpper());
  }

  void shownValuesReadBackExactly() {
    const double values[] = {0.1,  0.125,   0.353,     2.5e-6, 0.0125, 1.0 / 3.0, 0.005,  -0.0002,
                             1e10, 6.02e23, 123.4567, 0.0,    1e-300, 0.725,     0.05 * 3};
    for (const QLocale& locale : {English(), German()}) {
      for (double value : values) {
        for (char format : {'f', 'e'}) {
          const QString text = FormatFloat(value, format, 2, 5, locale);
          const std::optional<double> read = ParseFloat(text, locale);
          QVERIFY2(read.has_value(), qPrintable(text));
          QCOMPARE(*read, value);
        }
      }
    }
  }

  void readsNumbersOfTheLocale_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("german");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "0.5" << false << true << 0.5;
    QTest::newRow("blanks") << "  0.25 " << false << true << 0.25;
    QTest::newRow("exponent") << "1e3" << false << true << 1000.0;
    QTest::newRow("negative") << "-2.5" << false << true << -2.5;
    QTest::newRow("comma in English") << "0,5" << false << false << 0.0;
    QTest::newRow("group separator") << "1,000.5" << false << false << 0.0;
    QTest::newRow("German comma") << "0,5" << true << true << 0.5;
    QTest::newRow("point in German") << "1.000" << true << false << 0.0;
    QTest::newRow("empty") << "" << false << false << 0.0;
    QTest::newRow("word") << "abc" << false << false << 0.0;
    QTest::newRow("trailing garbage") << "0.5x" << false << false << 0.0;
    QTest::newRow("two points") << "0.5.1" << false << false << 0.0;
    QTest::newRow("nan") << "nan" << false << false << 0.0;
    QTest::newRow("infinity") << "inf" << false << false << 0.0;
    QTest::newRow("overflow") << "1e400" << false << false << 0.0;
  }
  void readsNumbersOfTheLocale() {
    QFETCH(QString, text);
    QFETCH(bool, german);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const std::optional<double> read = ParseFloat(text, german ? German() : English());
    QCOMPARE(read.has_value(), valid);
    if (valid) {
      QCOMPARE(*read, value);
    }
  }

  void readsIntegers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "100" << true << 100;
    QTest::newRow("blanks") << " 7 " << true << 7;
    QTest::newRow("negative") << "-3" << true << -3;
    QTest::newRow("largest") << "2147483647" << true << std::numeric_limits<int>::max();
    QTest::newRow("too large") << "2147483648" << false << 0;
    QTest::newRow("fraction") << "1.5" << false << 0;
    QTest::newRow("group separator") << "1,000" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("word") << "four" << false << 0;
  }
  void readsIntegers() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const std::optional<std::int32_t> read = ParseInteger(text, English());
    QCOMPARE(read.has_value(), valid);
    if (valid) {
      QCOMPARE(*read, value);
    }
  }

  void conversionMessagesQuoteTheText() {
    QCOMPARE(FloatConversionMessage(QStringLiteral("abc")), QStringLiteral("'abc' is not a valid floating point value"));
    QCOMPARE(IntegerConversionMessage(QStringLiteral("%1")), QStringLiteral("'%1' is not a valid integer value"));
  }
};

QObject* CreateNumberTextTest() { return new TNumberTextTest; }

}  // namespace kestrovan

#include "tst_NumberText.moc"
