#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace kestrovan {

class TRobot;
class TDifferentiallySteeredBodyParameters;
class TIRSensorParameters;
class TFSMBrainParameters;

// The modal dialog that edits the robot's body, IR-sensor and brain
// parameters in place. OK converts and checks every box first and writes
// only when all are accepted; Cancel writes nothing. The owner rebuilds the
// template robot after OK.
class TRobotSetupForm : public QDialog {
  Q_OBJECT

 public:
  explicit TRobotSetupForm(QWidget* Owner = nullptr);

  // Called before the dialog is shown, in this order; the objects stay the
  // caller's and must outlive the dialog.
  void SetRobot(TRobot& Robot);
  void SetSensorParameters(TIRSensorParameters& Parameters);
  void SetBrainParameters(TFSMBrainParameters& Parameters);
  void SetBodyParameters(TDifferentiallySteeredBodyParameters& Parameters);

  void btnOKClick();
  void btnCancelClick();
  void SensorOpeningTrackBarChange();

  // Whole degrees shown for an opening angle in radians: rounded half to
  // even, then limited to the track bar's range [20, 60].
  static int OpeningAngleDegrees(double Radians);

  QGroupBox* BodyGroupBox;
  QLineEdit* MassBox;
  QLineEdit* RadiusBox;
  QLineEdit* MomentOfInertiaBox;
  QLineEdit* WheelRadiusBox;
  QLineEdit* HeightBox;
  QLineEdit* AlphaBox;
  QLineEdit* BetaBox;

  QGroupBox* BrainGroupBox;
  QLineEdit* NStatesBox;
  QLineEdit* NConditionsBox;
  QLineEdit* PMutationBox;
  QLineEdit* PCreepBox;
  QLineEdit* CreepRateBox;

  QGroupBox* SensorGroupBox;
  QLineEdit* NSensorsBox;
  QLineEdit* SensorRangeBox;
  QLineEdit* SensorOpeningAngleBox;
  QSlider* SensorOpeningTrackBar;

  QPushButton* btnCancel;
  QPushButton* btnOK;

 private:
  TRobot* robot_ = nullptr;
  TDifferentiallySteeredBodyParameters* bodyParameters_ = nullptr;
  TIRSensorParameters* sensorParameters_ = nullptr;
  TFSMBrainParameters* brainParameters_ = nullptr;
  // the track bar was moved by the user since SetSensorParameters, so OK
  // writes its angle; otherwise the stored angle stays exact
  bool openingAngleMoved_ = false;
  bool showingParameters_ = false;
};

}  // namespace kestrovan
