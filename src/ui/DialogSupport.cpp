#include "ui/DialogSupport.h"

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <string>

#include "ui/NumberText.h"

namespace kestrovan {

namespace {

// The one message box of the program; returns the button chosen.
QMessageBox::StandardButton ShowMessage(QWidget* Parent, QMessageBox::Icon Icon, const QString& Text,
                                        const QString& Detail, QMessageBox::StandardButtons Buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton Default = QMessageBox::Ok) {
  QMessageBox box(Icon, QString::fromLatin1(kApplicationCaption), Text, Buttons, Parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  // file names and messages are shown as they are, never as markup
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(Default);
  box.setEscapeButton(Buttons.testFlag(QMessageBox::No) ? QMessageBox::No : Default);
  if (!Detail.isEmpty()) {
    box.setInformativeText(Detail);
  }
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowOutOfMemory(const std::string& message) { ShowPlainMessage(nullptr, QString::fromStdString(message)); }

[[noreturn]] void RefuseRange(QLineEdit* Box, const QString& Field, const QString& Accepted) {
  throw TBoxRefusal{Box, Field + QStringLiteral(" must ") + Accepted + QLatin1Char('.'), Field, false};
}

}  // namespace

void ShowPlainMessage(QWidget* Parent, const QString& Text, const QString& Detail) {
  ShowMessage(Parent, QMessageBox::NoIcon, Text, Detail);
}

void ShowErrorMessage(QWidget* Parent, const QString& Text, const QString& Detail) {
  ShowMessage(Parent, QMessageBox::Critical, Text, Detail);
}

bool AskYesNo(QWidget* Parent, const QString& Question) {
  return ShowMessage(Parent, QMessageBox::Question, Question, QString(), QMessageBox::Yes | QMessageBox::No,
                     QMessageBox::No) == QMessageBox::Yes;
}

TOutOfMemoryHandler InstallOutOfMemoryMessage() { return SetOutOfMemoryHandler(&ShowOutOfMemory); }

void TBoxRefusal::Show(QWidget* Dialog) const {
  if (ConversionError) {
    ShowErrorMessage(Dialog, Message, QStringLiteral("Please correct \"%1\".").arg(Field));
  } else {
    ShowPlainMessage(Dialog, Message);
  }
  Box->setFocus();
  Box->selectAll();
}

double TBoxReader::Float(QLineEdit* Box, const QString& Field) const {
  const std::optional<double> value = ParseFloat(Box->text(), locale_);
  if (!value) {
    throw TBoxRefusal{Box, FloatConversionMessage(Box->text()), Field, true};
  }
  return *value;
}

std::int32_t TBoxReader::Integer(QLineEdit* Box, const QString& Field) const {
  const std::optional<std::int32_t> value = ParseInteger(Box->text(), locale_);
  if (!value) {
    throw TBoxRefusal{Box, IntegerConversionMessage(Box->text()), Field, true};
  }
  return *value;
}

std::int32_t TBoxReader::IntegerAtLeast(QLineEdit* Box, const QString& Field, std::int32_t Minimum) const {
  const std::int32_t value = Integer(Box, Field);
  if (value < Minimum) {
    RefuseRange(Box, Field, QStringLiteral("be at least %1").arg(Minimum));
  }
  return value;
}

double TBoxReader::Positive(QLineEdit* Box, const QString& Field) const {
  const double value = Float(Box, Field);
  if (!(value > 0.0)) {
    RefuseRange(Box, Field, QStringLiteral("be greater than 0"));
  }
  return value;
}

double TBoxReader::NonNegative(QLineEdit* Box, const QString& Field) const {
  const double value = Float(Box, Field);
  if (!(value >= 0.0)) {
    RefuseRange(Box, Field, QStringLiteral("not be negative"));
  }
  return value;
}

double TBoxReader::Probability(QLineEdit* Box, const QString& Field) const {
  const double value = Float(Box, Field);
  if (!(value >= 0.0 && value <= 1.0)) {
    RefuseRange(Box, Field, QStringLiteral("lie between 0 and 1"));
  }
  return value;
}

void SetUpFixedDialog(QDialog* Dialog, const QString& Caption, int Width, int Height) {
  Dialog->setWindowTitle(Caption);
  Dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint);
  Dialog->setFixedSize(Width, Height);
  // a small, narrow face, so that the captions fit the fixed bounds
  QFont font = Dialog->font();
  font.setPointSize(8);
  font.setStretch(QFont::Condensed);
  Dialog->setFont(font);
}

QLabel* AddLabel(QWidget* Parent, const QString& Text, int Left, int Top) {
  auto* label = new QLabel(Text, Parent);
  label->move(Left, Top);
  label->adjustSize();
  return label;
}

QLineEdit* AddEdit(QWidget* Parent, const char* Name, const QRect& Bounds) {
  return AddControl<QLineEdit>(Parent, Name, Bounds);
}

QLineEdit* AddLabelledEdit(QWidget* Parent, const QString& Label, int LabelLeft, const char* Name, const QRect& Bounds,
                           const QString& Text) {
  AddLabel(Parent, Label, LabelLeft, Bounds.top() + 4);
  QLineEdit* box = AddEdit(Parent, Name, Bounds);
  box->setText(Text);
  return box;
}

QPushButton* AddButton(QWidget* Parent, const char* Name, const QString& Caption, const QRect& Bounds) {
  auto* button = AddControl<QPushButton>(Parent, Name, Bounds, Caption);
  // neither Enter nor a focused button closes a dialog by accident
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace kestrovan
