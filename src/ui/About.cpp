#include "ui/About.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/DialogSupport.h"

namespace kestrovan {

TAboutForm::TAboutForm(QWidget* Owner) : QDialog(Owner) {
  setWindowTitle(QString::fromLatin1(kApplicationCaption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  DescriptionLabel = new QLabel(this);
  DescriptionLabel->setObjectName(QStringLiteral("DescriptionLabel"));
  DescriptionLabel->setText(
      QStringLiteral("Kestrovan, v1.0: an evolutionary robotics simulator.\n"
                     "It evolves the finite-state-machine brain of a small two-wheeled robot\n"
                     "with two DC motors and five infrared proximity sensors.\n"
                     "Every brain is evaluated in a 2D physics simulation of an arena read from a text file;\n"
                     "its fitness is how far the robot pushes the arena's cylinders from the origin.\n"
                     "Set up the arena, the robot and the evolutionary algorithm in the Setup menu,\n"
                     "then start a run with Analysis / Run evolution."));

  CloseButton = new QPushButton(QStringLiteral("Close"), this);
  CloseButton->setObjectName(QStringLiteral("CloseButton"));
  // Return and Escape both close the box
  CloseButton->setDefault(true);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(DescriptionLabel);
  layout->addWidget(CloseButton, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kestrovan
