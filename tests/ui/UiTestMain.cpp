// Runs the test classes of the windows and dialogs in one QApplication.
#include <QApplication>
#include <QStandardPaths>
#include <QTest>
#include <memory>

namespace kestrovan {
QObject* CreateNumberTextTest();
QObject* CreateArenaSetupFormTest();
QObject* CreateRobotSetupFormTest();
QObject* CreateEASetupFormTest();
QObject* CreateMainFormTest();
QObject* CreateApplicationIconTest();
QObject* CreateExperimentMenuTest();
}  // namespace kestrovan

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // what the windows remember goes to a folder of the tests, not the user's
  QStandardPaths::setTestModeEnabled(true);
  int failures = 0;
  for (auto create :
       {kestrovan::CreateNumberTextTest, kestrovan::CreateArenaSetupFormTest, kestrovan::CreateRobotSetupFormTest,
        kestrovan::CreateEASetupFormTest, kestrovan::CreateMainFormTest, kestrovan::CreateApplicationIconTest,
        kestrovan::CreateExperimentMenuTest}) {
    const std::unique_ptr<QObject> test(create());
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
