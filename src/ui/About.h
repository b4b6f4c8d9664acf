#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kestrovan {

// The about box: what the program does, and a Close button.
class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* Owner = nullptr);

  QLabel* DescriptionLabel;
  QPushButton* CloseButton;
};

}  // namespace kestrovan
