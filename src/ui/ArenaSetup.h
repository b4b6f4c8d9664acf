#pragma once

#include <QDialog>
#include <QString>

class QFileDialog;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrovan {

// The modal dialog that names the arena file. OK accepts only the name of
// an existing file; the file's content is checked when the arena is built.
class TArenaSetupForm : public QDialog {
  Q_OBJECT

 public:
  explicit TArenaSetupForm(QWidget* Owner = nullptr);

  // FileName := Name, shown in the edit box.
  void SetFileName(const QString& Name);
  // The chosen file: a full path when chosen with Browse, else as typed.
  const QString& FileName() const { return fileName_; }

  void btnOKClick();
  void btnCancelClick();
  void BrowseButtonClick();

  QLabel* Label20;
  QLineEdit* ArenaFileBox;
  QPushButton* BrowseButton;
  QPushButton* btnCancel;
  QPushButton* btnOK;
  QFileDialog* OpenDialog;

 protected:
  // Escape does not close this dialog.
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  QString fileName_;
};

// Whether Name denotes an existing file (not a folder).
bool ArenaFileExists(const QString& Name);

}  // namespace kestrovan
