#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QLocale>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace kestrovan {
class TEAParameters;
class TDifferentiallySteeredBodyParameters;
class TIRSensorParameters;
class TFSMBrainParameters;
class TRobot;
}  // namespace kestrovan

namespace kestrovan::test {

// Acts on the modal windows that the code under test opens with exec(). Each
// expectation waits for the next modal window of its class, runs its action
// on it and closes the window if the action left it open, so a failed check
// never leaves a test waiting for a window to close.
//
// A modal window that opens while no expectation waits for one (a message
// box nobody expected, say) is closed after a while and fails the test.
class TModalDriver {
 public:
  TModalDriver();
  ~TModalDriver();
  TModalDriver(const TModalDriver&) = delete;
  TModalDriver& operator=(const TModalDriver&) = delete;

  template <class TWindow>
  void Expect(std::function<void(TWindow&)> Action) {
    auto timer = std::make_unique<QTimer>();
    QTimer* poll = timer.get();
    timers_.push_back(std::move(timer));
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [this, poll, Action, waited = 0]() mutable {
      QWidget* modal = QApplication::activeModalWidget();
      auto* window = qobject_cast<TWindow*>(modal);
      if (window == nullptr || !window->isVisible()) {
        // give up on a window that never comes, closing whatever blocks instead
        if (++waited > kPatience) {
          poll->stop();
          --waiting_;
          ++abandoned_;
          if (auto* blocking = qobject_cast<QDialog*>(modal)) {
            blocking->done(QDialog::Rejected);
          }
        }
        return;
      }
      poll->stop();
      --waiting_;
      const QPointer<TWindow> guard(window);
      Action(*window);
      ++handled_;
      if (guard && guard->isVisible()) {
        static_cast<QDialog*>(guard.data())->done(QDialog::Rejected);
      }
    });
    ++waiting_;
    poll->start();
  }

  // Expectations whose window appeared and whose action ran.
  int Handled() const { return handled_; }
  // Expectations given up because their window never appeared.
  int Abandoned() const { return abandoned_; }

 private:
  static constexpr int kPatience = 2000;  // polls

  // closes a modal window that no expectation waits for
  void Watch();

  std::vector<std::unique_ptr<QTimer>> timers_;
  QTimer watchdog_;
  int waiting_ = 0;  // expectations still polling
  int unexpectedPolls_ = 0;
  QStringList unexpected_;
  int handled_ = 0;
  int abandoned_ = 0;
};

// The text and icon of a message box, captured by an expectation.
struct TShownMessage {
  QString Text;
  QString Detail;
  int Icon = -1;
  bool Shown = false;
};
// Expects a message box and records what it showed.
void ExpectMessage(TModalDriver& Driver, TShownMessage& Message);

// Fails the current test when a top-level window is left after it.
void CheckNoWindowLeft();

// Text with the decimal point of the system locale in place of '.'.
QString Localised(QString Text);

// Field-by-field comparisons that fail the current test on a difference.
void CompareEA(const TEAParameters& Actual, const TEAParameters& Expected);
void CompareBody(const TDifferentiallySteeredBodyParameters& Actual,
                 const TDifferentiallySteeredBodyParameters& Expected);
void CompareSensor(const TIRSensorParameters& Actual, const TIRSensorParameters& Expected);
void CompareBrain(const TFSMBrainParameters& Actual, const TFSMBrainParameters& Expected);
// Range and opening angle of every IR sensor of the robot.
void CompareSensorsOf(const TRobot& Robot, double Range, double OpeningAngle);

}  // namespace kestrovan::test
