#include "ui/NumberText.h"

#include <cmath>

namespace kestrovan {

QLocale DialogLocale(const QLocale& Base) {
  QLocale locale = Base;
  locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  return locale;
}

QString FormatFloat(double Value, char Format, int Decimals, int Width, const QLocale& Locale) {
  QString text = Locale.toString(Value, Format, Decimals);
  const std::optional<double> readBack = ParseFloat(text, Locale);
  if (!readBack || *readBack != Value) {
    // fixed formats fall back to the general one, which switches to an
    // exponent only for very small or large values
    text = Locale.toString(Value, Format == 'e' ? 'e' : 'g', QLocale::FloatingPointShortest);
  }
  return text.rightJustified(Width, QLatin1Char(' '));
}

QString FormatInteger(std::int64_t Value, const QLocale& Locale) {
  return Locale.toString(static_cast<qlonglong>(Value));
}

std::optional<double> ParseFloat(const QString& Text, const QLocale& Locale) {
  const QString trimmed = Text.trimmed();
  bool ok = false;
  double value = Locale.toDouble(trimmed, &ok);
  // a '.' typed under a decimal-comma locale is a decimal point too (never a
  // group separator), unless the text holds the locale's own separator
  const QString decimalPoint = Locale.decimalPoint();
  if (!ok && decimalPoint != QStringLiteral(".") && !trimmed.contains(decimalPoint)) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    value = c.toDouble(trimmed, &ok);
  }
  // "nan" and "inf" convert but are no numbers a parameter can hold
  if (!ok || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int32_t> ParseInteger(const QString& Text, const QLocale& Locale) {
  bool ok = false;
  const int value = Locale.toInt(Text.trimmed(), &ok);
  if (!ok) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

QString FloatConversionMessage(const QString& Text) {
  return QLatin1Char('\'') + Text + QStringLiteral("' is not a valid floating point value");
}

QString IntegerConversionMessage(const QString& Text) {
  return QLatin1Char('\'') + Text + QStringLiteral("' is not a valid integer value");
}

}  // namespace kestrovan
