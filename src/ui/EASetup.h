#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrovan {

class TEAParameters;

// The modal dialog that edits the evolutionary algorithm's parameters in
// place. OK converts and checks every box first and writes only when all are
// accepted, together with the fixed choices the dialog does not offer
// (tournament selection, no ranking, generational replacement, no
// crossover); Cancel writes nothing.
class TEASetupForm : public QDialog {
  Q_OBJECT

 public:
  explicit TEASetupForm(QWidget* Owner = nullptr);

  // Keeps the reference (the object stays the caller's) and shows its values.
  void SetEAParameters(TEAParameters& Parameters);
  // Fills the controls from the parameters.
  void ShowParameters();

  void OKButtonClick();
  void CancelButtonClick();

  QPushButton* OKButton;
  QPushButton* CancelButton;
  QGroupBox* PopulationSizeGroupBox;
  QLineEdit* PopSizeBox;
  QGroupBox* ReplacementGroupBox;
  QCheckBox* ElitismCheckBox;
  QGroupBox* SelectionGroupBox;
  QLineEdit* TournamentSizeBox;
  QLineEdit* PTourBox;
  QGroupBox* MutationGroupBox;
  QLineEdit* PMutBox;
  QLineEdit* PCreepBox;
  QGroupBox* CreepMethodRadioGroup;
  QRadioButton* GeometricCreepButton;  // item 0, "Geometric (multiplicative)"
  QLineEdit* CreepRateBox;

 private:
  TEAParameters* parameters_ = nullptr;
};

}  // namespace kestrovan
