#include "ui/RobotSetup.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "robot/DifferentiallySteeredBody.h"
#include "robot/FSMBrain.h"
#include "robot/IRSensor.h"
#include "robot/Robot.h"
#include "ui/DialogSupport.h"
#include "ui/NumberText.h"

namespace kestrovan {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kMinimumOpeningAngle = 20;  // degrees, the track bar's range
constexpr int kMaximumOpeningAngle = 60;

// A row of a group: label, edit box named Name, optional unit label.
QLineEdit* AddRow(QGridLayout* Grid, int Row, const QString& Label, const char* Name, const QString& Unit = QString()) {
  auto* parent = Grid->parentWidget();
  Grid->addWidget(new QLabel(Label, parent), Row, 0);
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromLatin1(Name));
  box->setFixedWidth(64);
  Grid->addWidget(box, Row, 1);
  if (!Unit.isEmpty()) {
    Grid->addWidget(new QLabel(Unit, parent), Row, 2);
  }
  return box;
}

QGridLayout* AddGroup(QWidget* Parent, QGroupBox*& Group, const char* Name, const QString& Caption,
                      const QRect& Bounds) {
  Group = AddControl<QGroupBox>(Parent, Name, Bounds, Caption);
  auto* grid = new QGridLayout(Group);
  grid->setContentsMargins(8, 6, 8, 6);
  grid->setHorizontalSpacing(6);
  return grid;
}

// A box that shows a value the user cannot edit.
void Grey(QLineEdit* Box) {
  Box->setEnabled(false);
  Box->setFocusPolicy(Qt::NoFocus);
}

}  // namespace

TRobotSetupForm::TRobotSetupForm(QWidget* Owner) : QDialog(Owner) {
  SetUpFixedDialog(this, QStringLiteral("Kestrovan, v1.0 - Robot setup"), 675, 285);

  QGridLayout* body =
      AddGroup(this, BodyGroupBox, "BodyGroupBox", QStringLiteral("Robot body parameters:"), QRect(8, 8, 236, 234));
  MassBox = AddRow(body, 0, QStringLiteral("Mass:"), "MassBox", QStringLiteral("[kg]"));
  RadiusBox = AddRow(body, 1, QStringLiteral("Radius:"), "RadiusBox", QStringLiteral("[m]"));
  MomentOfInertiaBox =
      AddRow(body, 2, QStringLiteral("Moment of inertia:"), "MomentOfInertiaBox", QStringLiteral("[kg m^2]"));
  WheelRadiusBox = AddRow(body, 3, QStringLiteral("Wheel radius:"), "WheelRadiusBox", QStringLiteral("[m]"));
  HeightBox = AddRow(body, 4, QStringLiteral("Height:"), "HeightBox", QStringLiteral("[m]"));
  AlphaBox = AddRow(body, 5, QStringLiteral("Alpha:"), "AlphaBox", QStringLiteral("[Ns/m]"));
  BetaBox = AddRow(body, 6, QStringLiteral("Beta:"), "BetaBox", QStringLiteral("[Nm s/rad]"));
  Grey(RadiusBox);

  QGridLayout* brain =
      AddGroup(this, BrainGroupBox, "BrainGroupBox", QStringLiteral("Brain parameters (FSM)"), QRect(250, 8, 206, 234));
  NStatesBox = AddRow(brain, 0, QStringLiteral("Number of states:"), "NStatesBox");
  NConditionsBox = AddRow(brain, 1, QStringLiteral("Number of conditions:"), "NConditionsBox");
  PMutationBox = AddRow(brain, 2, QStringLiteral("Parametric mutation rate:"), "PMutationBox");
  PCreepBox = AddRow(brain, 3, QStringLiteral("Creep mutation probability"), "PCreepBox");
  CreepRateBox = AddRow(brain, 4, QStringLiteral("Creep rate:"), "CreepRateBox");
  brain->setRowStretch(5, 1);

  QGridLayout* sensor = AddGroup(this, SensorGroupBox, "SensorGroupBox", QStringLiteral("IR-sensor parameters:"),
                                 QRect(462, 8, 205, 234));
  NSensorsBox = AddRow(sensor, 0, QStringLiteral("Number of sensors:"), "NSensorsBox");
  SensorRangeBox = AddRow(sensor, 1, QStringLiteral("Range:"), "SensorRangeBox", QStringLiteral("[m]"));
  SensorOpeningAngleBox =
      AddRow(sensor, 2, QStringLiteral("Opening angle:"), "SensorOpeningAngleBox", QStringLiteral("[deg]"));
  NSensorsBox->setText(QStringLiteral("5"));
  Grey(NSensorsBox);
  Grey(SensorOpeningAngleBox);
  for (QLineEdit* box : {NSensorsBox, SensorRangeBox, SensorOpeningAngleBox}) {
    box->setFixedWidth(44);
  }
  SensorOpeningTrackBar = new QSlider(Qt::Horizontal, SensorGroupBox);
  SensorOpeningTrackBar->setObjectName(QStringLiteral("SensorOpeningTrackBar"));
  SensorOpeningTrackBar->setRange(kMinimumOpeningAngle, kMaximumOpeningAngle);
  SensorOpeningTrackBar->setPageStep(5);
  SensorOpeningTrackBar->setTickInterval(2);
  SensorOpeningTrackBar->setTickPosition(QSlider::TicksBothSides);
  sensor->addWidget(SensorOpeningTrackBar, 3, 0, 1, 3);
  sensor->setRowStretch(4, 1);

  btnCancel = AddButton(this, "btnCancel", QStringLiteral("Cancel"), QRect(512, 252, 75, 25));
  btnOK = AddButton(this, "btnOK", QStringLiteral("OK"), QRect(592, 252, 75, 25));

  // OK first, then the boxes as they read, then Cancel
  QWidget* order[] = {btnOK,     MassBox,      MomentOfInertiaBox, WheelRadiusBox,        HeightBox,
                      AlphaBox,  BetaBox,      NStatesBox,         NConditionsBox,        PMutationBox,
                      PCreepBox, CreepRateBox, SensorRangeBox,     SensorOpeningTrackBar, btnCancel};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
  btnOK->setDefault(true);
  btnOK->setFocus();

  connect(SensorOpeningTrackBar, &QSlider::valueChanged, this, &TRobotSetupForm::SensorOpeningTrackBarChange);
  connect(btnOK, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { btnOKClick(); }); });
  connect(btnCancel, &QPushButton::clicked, this, &TRobotSetupForm::btnCancelClick);

  showingParameters_ = true;
  SensorOpeningTrackBar->setValue(kMinimumOpeningAngle);
  SensorOpeningTrackBarChange();
  showingParameters_ = false;
}

int TRobotSetupForm::OpeningAngleDegrees(double Radians) {
  double degrees = std::nearbyint(Radians * (180.0 / std::numbers::pi));
  if (std::isnan(degrees)) {
    return kMinimumOpeningAngle;
  }
  degrees = std::min(degrees, static_cast<double>(kMaximumOpeningAngle));
  degrees = std::max(degrees, static_cast<double>(kMinimumOpeningAngle));
  return static_cast<int>(degrees);
}

void TRobotSetupForm::SensorOpeningTrackBarChange() {
  SensorOpeningAngleBox->setText(FormatInteger(SensorOpeningTrackBar->value(), DialogLocale()));
  if (!showingParameters_) {
    openingAngleMoved_ = true;
  }
}

void TRobotSetupForm::SetRobot(TRobot& Robot) { robot_ = &Robot; }

void TRobotSetupForm::SetSensorParameters(TIRSensorParameters& Parameters) {
  sensorParameters_ = &Parameters;
  const QLocale locale = DialogLocale();
  SensorRangeBox->setText(FormatFloat(Parameters.Range, 'f', 2, 0, locale));
  const int degrees = OpeningAngleDegrees(Parameters.OpeningAngle);
  showingParameters_ = true;
  SensorOpeningTrackBar->setValue(degrees);
  SensorOpeningAngleBox->setText(FormatInteger(degrees, locale));
  showingParameters_ = false;
  openingAngleMoved_ = false;
}

void TRobotSetupForm::SetBrainParameters(TFSMBrainParameters& Parameters) {
  brainParameters_ = &Parameters;
  const QLocale locale = DialogLocale();
  NStatesBox->setText(FormatInteger(Parameters.NumberOfStates, locale));
  NConditionsBox->setText(FormatInteger(Parameters.NumberOfConditions, locale));
  PMutationBox->setText(FormatFloat(Parameters.MutationRate, 'f', 2, 0, locale));
  PCreepBox->setText(FormatFloat(Parameters.CreepProbability, 'f', 2, 0, locale));
  CreepRateBox->setText(FormatFloat(Parameters.CreepRate, 'f', 2, 0, locale));
}

void TRobotSetupForm::SetBodyParameters(TDifferentiallySteeredBodyParameters& Parameters) {
  bodyParameters_ = &Parameters;
  const QLocale locale = DialogLocale();
  MassBox->setText(FormatFloat(Parameters.Mass, 'f', 2, 0, locale));
  RadiusBox->setText(FormatFloat(Parameters.Radius, 'f', 2, 0, locale));
  MomentOfInertiaBox->setText(FormatFloat(Parameters.MomentOfInertia, 'e', 3, 0, locale));
  WheelRadiusBox->setText(FormatFloat(Parameters.WheelRadius, 'f', 2, 0, locale));
  HeightBox->setText(FormatFloat(Parameters.Height, 'f', 2, 0, locale));
  AlphaBox->setText(FormatFloat(Parameters.Alpha, 'f', 4, 0, locale));
  BetaBox->setText(FormatFloat(Parameters.Beta, 'f', 4, 0, locale));
}

void TRobotSetupForm::btnOKClick() {
  if (robot_ == nullptr || bodyParameters_ == nullptr || sensorParameters_ == nullptr || brainParameters_ == nullptr) {
    throw std::logic_error("The robot setup dialog was shown without its parameters");
  }

  // convert and check every box into copies; nothing is written unless all pass
  TDifferentiallySteeredBodyParameters body = *bodyParameters_;
  TIRSensorParameters sensor = *sensorParameters_;
  TFSMBrainParameters brain = *brainParameters_;
  const TBoxReader reader(DialogLocale());
  try {
    body.Mass = reader.Positive(MassBox, QStringLiteral("Mass"));
    body.Radius = reader.Positive(RadiusBox, QStringLiteral("Radius"));
    body.MomentOfInertia = reader.Positive(MomentOfInertiaBox, QStringLiteral("Moment of inertia"));
    body.WheelRadius = reader.Positive(WheelRadiusBox, QStringLiteral("Wheel radius"));
    body.Height = reader.Positive(HeightBox, QStringLiteral("Height"));
    body.Alpha = reader.Float(AlphaBox, QStringLiteral("Alpha"));
    body.Beta = reader.Float(BetaBox, QStringLiteral("Beta"));

    sensor.Range = reader.Positive(SensorRangeBox, QStringLiteral("Sensor range"));
    if (openingAngleMoved_) {
      sensor.OpeningAngle = SensorOpeningTrackBar->value() * kRadiansPerDegree;
    }

    brain.NumberOfStates = reader.IntegerAtLeast(NStatesBox, QStringLiteral("Number of states"), 1);
    brain.NumberOfConditions = reader.IntegerAtLeast(NConditionsBox, QStringLiteral("Number of conditions"), 0);
    brain.MutationRate = reader.NonNegative(PMutationBox, QStringLiteral("Parametric mutation rate"));
    brain.CreepProbability = reader.Probability(PCreepBox, QStringLiteral("Creep mutation probability"));
    brain.CreepRate = reader.NonNegative(CreepRateBox, QStringLiteral("Creep rate"));
  } catch (const TBoxRefusal& refusal) {
    refusal.Show(this);
    return;
  }
  // whatever else the model itself would refuse
  if (!PassesValidation(this, [&] {
        body.Validate();
        sensor.Validate();
        brain.Validate();
      })) {
    return;
  }

  robot_->Name = "Robot";
  *bodyParameters_ = body;
  *sensorParameters_ = sensor;
  for (int i = 1; robot_->Body && i <= robot_->Body->Sensors.Count(); ++i) {
    if (auto* irSensor = dynamic_cast<TIRSensor*>(&robot_->Body->Sensors.Items(i))) {
      irSensor->Range = sensor.Range;
      irSensor->OpeningAngle = sensor.OpeningAngle;
    }
  }
  *brainParameters_ = brain;
  accept();
}

void TRobotSetupForm::btnCancelClick() { reject(); }

}  // namespace kestrovan
