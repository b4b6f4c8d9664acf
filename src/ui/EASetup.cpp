#include "ui/EASetup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <stdexcept>

#include "ea/EAParameters.h"
#include "ui/DialogSupport.h"
#include "ui/NumberText.h"

namespace kestrovan {

namespace {

constexpr std::uint8_t kGeometricCreep = 1;

}  // namespace

TEASetupForm::TEASetupForm(QWidget* Owner) : QDialog(Owner) {
  SetUpFixedDialog(this, QStringLiteral("Kestrovan, v1.0 - Evolutionary algorithm setup"), 471, 195);

  OKButton = AddButton(this, "OKButton", QStringLiteral("OK"), QRect(83, 144, 75, 25));
  CancelButton = AddButton(this, "CancelButton", QStringLiteral("Cancel"), QRect(6, 144, 75, 25));

  PopulationSizeGroupBox =
      AddControl<QGroupBox>(this, "PopulationSizeGroupBox", QRect(8, 8, 105, 49), QStringLiteral("Population size"));
  PopSizeBox = AddEdit(PopulationSizeGroupBox, "PopSizeBox", QRect(14, 16, 77, 21));
  PopSizeBox->setText(QStringLiteral("100"));

  ReplacementGroupBox =
      AddControl<QGroupBox>(this, "ReplacementGroupBox", QRect(120, 8, 115, 49), QStringLiteral("Replacement"));
  ElitismCheckBox = AddControl<QCheckBox>(ReplacementGroupBox, "ElitismCheckBox", QRect(15, 21, 87, 15),
                                          QStringLiteral("Use elitism"));
  ElitismCheckBox->setChecked(true);

  SelectionGroupBox =
      AddControl<QGroupBox>(this, "SelectionGroupBox", QRect(8, 64, 227, 73), QStringLiteral("Selection parameters"));
  TournamentSizeBox = AddLabelledEdit(SelectionGroupBox, QStringLiteral("Tournament size:"), 13, "TournamentSizeBox",
                                      QRect(158, 16, 57, 21), QStringLiteral("5"));
  PTourBox = AddLabelledEdit(SelectionGroupBox, QStringLiteral("Probability of winner selection:"), 13, "PTourBox",
                             QRect(158, 40, 57, 21), QStringLiteral("0.725"));

  MutationGroupBox =
      AddControl<QGroupBox>(this, "MutationGroupBox", QRect(240, 8, 222, 177), QStringLiteral("Mutation"));
  PMutBox = AddLabelledEdit(MutationGroupBox, QStringLiteral("Mutation rate:"), 16, "PMutBox", QRect(153, 16, 57, 21),
                            QStringLiteral("0.04"));
  PCreepBox = AddLabelledEdit(MutationGroupBox, QStringLiteral("Probability of creep mutation:"), 16, "PCreepBox",
                              QRect(153, 42, 57, 21), QStringLiteral("0.50"));
  CreepMethodRadioGroup = AddControl<QGroupBox>(MutationGroupBox, "CreepMethodRadioGroup", QRect(8, 75, 203, 54),
                                                QStringLiteral("Creep style"));
  GeometricCreepButton = AddControl<QRadioButton>(CreepMethodRadioGroup, "GeometricCreepButton", QRect(8, 22, 187, 20),
                                                  QStringLiteral("Geometric (multiplicative)"));
  GeometricCreepButton->setChecked(true);
  CreepRateBox = AddLabelledEdit(MutationGroupBox, QStringLiteral("Creep rate:"), 16, "CreepRateBox",
                                 QRect(153, 147, 57, 21), QStringLiteral("0.00"));

  QWidget* order[] = {OKButton, CancelButton, PopSizeBox, ElitismCheckBox, TournamentSizeBox,
                      PTourBox, PMutBox,      PCreepBox,  CreepRateBox,    GeometricCreepButton};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
  OKButton->setDefault(true);
  OKButton->setFocus();

  connect(OKButton, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { OKButtonClick(); }); });
  connect(CancelButton, &QPushButton::clicked, this, &TEASetupForm::CancelButtonClick);
}

void TEASetupForm::SetEAParameters(TEAParameters& Parameters) {
  parameters_ = &Parameters;
  ShowParameters();
}

void TEASetupForm::ShowParameters() {
  const TEAParameters& parameters = *parameters_;
  const QLocale locale = DialogLocale();
  PopSizeBox->setText(FormatInteger(parameters.PopulationSize, locale));
  TournamentSizeBox->setText(FormatInteger(parameters.TournamentSize, locale));
  PTourBox->setText(FormatFloat(parameters.TournamentWinnerProbability, 'f', 3, 5, locale));
  ElitismCheckBox->setChecked(parameters.UseElitism);
  PMutBox->setText(FormatFloat(parameters.MutationRate, 'f', 3, 5, locale));
  PCreepBox->setText(FormatFloat(parameters.CreepProbability, 'f', 3, 5, locale));
  // the single item stands for every creep method
  GeometricCreepButton->setChecked(true);
  CreepRateBox->setText(FormatFloat(parameters.CreepRate, 'f', 3, 5, locale));
}

void TEASetupForm::OKButtonClick() {
  if (parameters_ == nullptr) {
    throw std::logic_error("The EA setup dialog was shown without its parameters");
  }

  // convert and check every box into a copy; nothing is written unless all pass
  TEAParameters parameters = *parameters_;
  const TBoxReader reader(DialogLocale());
  try {
    parameters.PopulationSize = reader.IntegerAtLeast(PopSizeBox, QStringLiteral("Population size"), 3);
    parameters.TournamentSize = reader.IntegerAtLeast(TournamentSizeBox, QStringLiteral("Tournament size"), 1);
    parameters.TournamentWinnerProbability =
        reader.Probability(PTourBox, QStringLiteral("Probability of winner selection"));
    parameters.UseElitism = ElitismCheckBox->isChecked();
    parameters.MutationRate = reader.Probability(PMutBox, QStringLiteral("Mutation rate"));
    parameters.CreepProbability = reader.Probability(PCreepBox, QStringLiteral("Probability of creep mutation"));
    if (GeometricCreepButton->isChecked()) {
      parameters.CreepMethod = kGeometricCreep;
    }
    parameters.CreepRate = reader.NonNegative(CreepRateBox, QStringLiteral("Creep rate"));
    parameters.SetFixedChoices();
  } catch (const TBoxRefusal& refusal) {
    refusal.Show(this);
    return;
  }
  if (!PassesValidation(this, [&] { parameters.Validate(); })) {
    return;
  }

  *parameters_ = parameters;
  accept();
}

void TEASetupForm::CancelButtonClick() { reject(); }

}  // namespace kestrovan
