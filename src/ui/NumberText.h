#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace kestrovan {

// The locale the dialogs show and read numbers with: the user's decimal
// separator, no group separators (a "1.5" in a locale with a decimal comma
// must not be read as 15).
QLocale DialogLocale(const QLocale& Base = QLocale::system());

// Value formatted like printf's "%<Width>.<Decimals><Format>" (Format 'f' or
// 'e') with Locale. When that text would not read back as exactly Value, the
// shortest text that does, so that showing a value and reading it back never
// changes it.
QString FormatFloat(double Value, char Format, int Decimals, int Width, const QLocale& Locale);
QString FormatInteger(std::int64_t Value, const QLocale& Locale);

// The number in Text (surrounding blanks ignored), or nothing when Text is
// not a finite number or integer in Locale. A float may also be written with
// '.' under a locale whose decimal separator is another one.
std::optional<double> ParseFloat(const QString& Text, const QLocale& Locale);
std::optional<std::int32_t> ParseInteger(const QString& Text, const QLocale& Locale);

// The messages of a failed conversion, with the offending text.
QString FloatConversionMessage(const QString& Text);
QString IntegerConversionMessage(const QString& Text);

}  // namespace kestrovan
