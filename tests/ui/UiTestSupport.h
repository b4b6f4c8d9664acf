#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "ea/EAParameters.h"
#include "robot/DefaultRobot.h"

class QAbstractButton;
class QLineEdit;

namespace kestrovan::test {

// Acts on the modal windows that the code under test opens with exec(). Each
// expectation waits for the next modal window of its class, runs its action
// on it and closes the window if the action left it open, so a failed check
// never leaves a test waiting for a window to close. A modal window that
// opens while no expectation waits (a message box nobody expected) is closed
// after a while and fails the test.
class TModalDriver {
 public:
  TModalDriver();
  ~TModalDriver();
  TModalDriver(const TModalDriver&) = delete;
  TModalDriver& operator=(const TModalDriver&) = delete;

  template <class TWindow>
  void Expect(std::function<void(TWindow&)> Action) {
    QTimer* poll = timers_.emplace_back(std::make_unique<QTimer>()).get();
    ++waiting_;
    QObject::connect(poll, &QTimer::timeout, [this, poll, Action, polls = 0]() mutable {
      auto* window = qobject_cast<TWindow*>(QApplication::activeModalWidget());
      if ((window == nullptr || !window->isVisible()) && ++polls <= kPatience) {
        return;
      }
      poll->stop();
      --waiting_;
      if (window == nullptr || !window->isVisible()) {
        return;
      }
      const QPointer<TWindow> guard(window);
      Action(*window);
      ++handled_;
      if (guard && guard->isVisible()) {
        static_cast<QDialog*>(guard.data())->done(QDialog::Rejected);
      }
    });
    poll->start(5);
  }

  // Expectations whose window appeared and whose action ran.
  int Handled() const { return handled_; }

 private:
  static constexpr int kPatience = 2000;  // polls
  void Watch();

  std::vector<std::unique_ptr<QTimer>> timers_;
  QTimer watchdog_;
  int waiting_ = 0;  // expectations still polling
  int handled_ = 0;
  int unexpectedPolls_ = 0;
  QStringList unexpected_;
};

// The text and icon of a message box, captured by an expectation.
struct TShownMessage {
  QString Text;
  int Icon = -1;
  bool Shown = false;
  QString Detail;  // the line below the text
};
void ExpectMessage(TModalDriver& Driver, TShownMessage& Message);

// Clicks Button, expecting a message box; returns what it showed.
TShownMessage ClickExpectingMessage(QAbstractButton* Button);

// The dialog's edit box Name, and typing a number (with '.' for the decimal
// point) into it.
QLineEdit* Box(const QWidget& Dialog, const char* Name);
void TypeNumber(const QWidget& Dialog, const char* Name, const char* Text);

// The columns of a test of refused boxes (box, text, message, conversion)
// and one row: Text in Box is refused with Message, as a conversion error or
// as a range refusal.
void AddRefusalColumns();
void AddRefusalRow(const char* Box, const char* Text, const QString& Message, bool Conversion);

// Fails the current test when a top-level window is left after it.
void CheckNoWindowLeft();

// Text with the decimal point of the system locale in place of '.'.
QString Localised(QString Text);

// The fields the dialogs edit, comparable with ==.
inline auto Fields(const TEAParameters& P) {
  return std::tuple(P.PopulationSize, P.SelectionMethod, P.TournamentSize, P.TournamentWinnerProbability, P.UseRanking,
                    P.UseElitism, P.SteadyStateReplacement, P.CrossoverProbability, P.CrossoverType, P.MutationRate,
                    P.CreepProbability, P.CreepMethod, P.CreepRate);
}
inline auto Fields(const TRobotConfiguration& C) {
  return std::tuple(C.Body.Mass, C.Body.Radius, C.Body.MomentOfInertia, C.Body.WheelRadius, C.Body.Height, C.Body.Alpha,
                    C.Body.Beta, C.Sensor.Range, C.Sensor.OpeningAngle, C.Brain.NumberOfStates,
                    C.Brain.NumberOfConditions, C.Brain.NumberOfInputs, C.Brain.MutationRate, C.Brain.CreepProbability,
                    C.Brain.CreepRate);
}

// Fails unless the robot has five IR sensors in the default directions, each
// Mounting from the centre along its axis, with this range and opening angle.
void CompareSensors(const TRobot& Robot, double Mounting, double Range, double OpeningAngle);

}  // namespace kestrovan::test
