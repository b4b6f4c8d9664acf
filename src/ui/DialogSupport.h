#pragma once

#include <QLocale>
#include <QRect>
#include <QString>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <utility>

#include "numerics/Matrices.h"

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kestrovan {

// The caption of the main window and of every message box.
inline constexpr const char* kApplicationCaption = "Kestrovan, v1.0";

// Every message box of the program has one look: the program's caption,
// the text naming what failed (file and line, or the field), a detail line
// below it when there is one. Return is OK and Escape closes it.
//
// A message box without icon and with an OK button, for a dialog's refusals.
void ShowPlainMessage(QWidget* Parent, const QString& Text, const QString& Detail = QString());
// A message box with an error icon, for errors raised by an operation.
void ShowErrorMessage(QWidget* Parent, const QString& Text, const QString& Detail = QString());
// A yes/no question in the same look; No is the default and Escape answers
// it. True for yes.
bool AskYesNo(QWidget* Parent, const QString& Question);

// Runs Action; whatever it throws is shown as an error message and ends the
// action there, so that no exception ever leaves a Qt slot.
template <class TAction>
void RunGuarded(QWidget* Parent, TAction&& Action) noexcept {
  try {
    try {
      Action();
    } catch (const std::exception& error) {
      ShowErrorMessage(Parent, QString::fromLocal8Bit(error.what()));
    } catch (...) {
      ShowErrorMessage(Parent, QStringLiteral("Unknown error"));
    }
  } catch (...) {
    // showing the message failed as well (out of memory): nothing more to do
  }
}

// Shows the numerics' out-of-memory notice in a plain message box; returns
// the handler it replaced.
TOutOfMemoryHandler InstallOutOfMemoryMessage();

// A box whose text was refused by OK: not a number (a conversion error) or
// outside the field's range (a refusal).
struct TBoxRefusal {
  QLineEdit* Box;
  QString Message;
  QString Field;
  bool ConversionError;

  // Shows the message and puts the cursor into the box.
  void Show(QWidget* Dialog) const;
};

// Reads the numbers of a dialog's boxes with the dialog locale and checks
// their ranges; throws TBoxRefusal naming the first box that fails.
class TBoxReader {
 public:
  explicit TBoxReader(const QLocale& Locale) : locale_(Locale) {}

  double Float(QLineEdit* Box, const QString& Field) const;
  std::int32_t Integer(QLineEdit* Box, const QString& Field) const;

  std::int32_t IntegerAtLeast(QLineEdit* Box, const QString& Field, std::int32_t Minimum) const;
  double Positive(QLineEdit* Box, const QString& Field) const;
  double NonNegative(QLineEdit* Box, const QString& Field) const;
  // A value in [0, 1].
  double Probability(QLineEdit* Box, const QString& Field) const;

 private:
  const QLocale locale_;
};

// Runs a core Validate(); a refusal is shown in a plain message box.
// Returns whether the values were accepted.
template <class TValidate>
bool PassesValidation(QWidget* Dialog, TValidate&& Validate) {
  try {
    Validate();
    return true;
  } catch (const std::invalid_argument& error) {
    ShowPlainMessage(Dialog, QString::fromLocal8Bit(error.what()));
    return false;
  }
}

// Gives Dialog a fixed client size, a caption, only a close box in its frame
// and the small dialog font.
void SetUpFixedDialog(QDialog* Dialog, const QString& Caption, int Width, int Height);

// A control of class T named Name at Bounds inside Parent; Arguments go
// before the parent to T's constructor.
template <class T, class... TArguments>
T* AddControl(QWidget* Parent, const char* Name, const QRect& Bounds, TArguments&&... Arguments) {
  auto* control = new T(std::forward<TArguments>(Arguments)..., Parent);
  control->setObjectName(QString::fromLatin1(Name));
  control->setGeometry(Bounds);
  return control;
}

// Controls placed at fixed bounds inside Parent.
QLabel* AddLabel(QWidget* Parent, const QString& Text, int Left, int Top);
QLineEdit* AddEdit(QWidget* Parent, const char* Name, const QRect& Bounds);
// An edit box showing Text, with its caption Label at LabelLeft, level with
// the box's text.
QLineEdit* AddLabelledEdit(QWidget* Parent, const QString& Label, int LabelLeft, const char* Name, const QRect& Bounds,
                           const QString& Text);
QPushButton* AddButton(QWidget* Parent, const char* Name, const QString& Caption, const QRect& Bounds);

}  // namespace kestrovan
