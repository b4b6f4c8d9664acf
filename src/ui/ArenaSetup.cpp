#include "ui/ArenaSetup.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "ui/DialogSupport.h"
#include "version/BundledData.h"

namespace kestrovan {

bool ArenaFileExists(const QString& Name) { return !Name.isEmpty() && QFileInfo(Name).isFile(); }

TArenaSetupForm::TArenaSetupForm(QWidget* Owner) : QDialog(Owner) {
  SetUpFixedDialog(this, QStringLiteral("Kestrovan, v1.0 - Arena setup"), 515, 95);

  Label20 = AddLabel(this, QStringLiteral("Arena file:"), 11, 20);
  Label20->setObjectName(QStringLiteral("Label20"));
  ArenaFileBox = AddEdit(this, "ArenaFileBox", QRect(64, 16, 361, 21));
  BrowseButton = AddButton(this, "BrowseButton", QStringLiteral("Browse"), QRect(430, 14, 75, 25));
  btnCancel = AddButton(this, "btnCancel", QStringLiteral("Cancel"), QRect(352, 56, 75, 25));
  btnOK = AddButton(this, "btnOK", QStringLiteral("OK"), QRect(432, 56, 75, 25));

  OpenDialog = new QFileDialog(this);
  OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
  OpenDialog->setFileMode(QFileDialog::ExistingFile);
  OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);

  setTabOrder(btnOK, btnCancel);
  setTabOrder(btnCancel, ArenaFileBox);
  setTabOrder(ArenaFileBox, BrowseButton);
  btnOK->setDefault(true);
  btnOK->setFocus();

  connect(btnOK, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { btnOKClick(); }); });
  connect(btnCancel, &QPushButton::clicked, this, &TArenaSetupForm::btnCancelClick);
  connect(BrowseButton, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { BrowseButtonClick(); }); });
}

void TArenaSetupForm::SetFileName(const QString& Name) {
  fileName_ = Name;
  ArenaFileBox->setText(Name);
}

void TArenaSetupForm::btnOKClick() {
  fileName_ = ArenaFileBox->text();
  if (ArenaFileExists(fileName_)) {
    accept();
  } else {
    // the file named below the message, as typed
    ShowPlainMessage(this, QStringLiteral("File does not exist. Please check the path to the file."),
                     QStringLiteral("Arena file: '%1'").arg(fileName_));
  }
}

void TArenaSetupForm::btnCancelClick() { reject(); }

void TArenaSetupForm::BrowseButtonClick() {
  // start beside the file stored last (not the box's unconfirmed text),
  // else in the bundled arenas, else in the program's folder
  if (ArenaFileExists(fileName_)) {
    const QFileInfo stored(fileName_);
    OpenDialog->setDirectory(stored.absolutePath());
    OpenDialog->selectFile(stored.fileName());
  } else {
    const std::filesystem::path arenas = BundledArenasFolder();
    OpenDialog->setDirectory(arenas.empty() ? QCoreApplication::applicationDirPath()
                                            : QString::fromStdString(arenas.string()));
    OpenDialog->selectFile(QString());
  }
  if (OpenDialog->exec() != QDialog::Accepted) {
    return;
  }
  const QStringList chosen = OpenDialog->selectedFiles();
  if (!chosen.isEmpty()) {
    SetFileName(QFileInfo(chosen.first()).absoluteFilePath());
  }
}

void TArenaSetupForm::keyPressEvent(QKeyEvent* Event) {
  // Return is OK, Escape is Cancel
  QDialog::keyPressEvent(Event);
}

}  // namespace kestrovan
