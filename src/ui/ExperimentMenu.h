#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "experiment/Experiment.h"

class QAction;
class QMenu;

namespace kestrovan {

class TMainForm;

// The experiment that the main window's configuration describes: what the
// three setups and the run parameters hold, the brain's mutation values
// taken from the EA's. The arena is the chosen file, if any.
TExperiment MainFormExperiment(const TMainForm& Form);
// Sets the main window's configuration from Experiment as if the three
// setup dialogs had been confirmed with its values, and rebuilds the
// template robot.
void ApplyExperiment(TMainForm& Form, const TExperiment& Experiment);

// "Open experiment…", "Save experiment…", the recent experiments and "Open
// result folder…" in the main window's File menu. The recent files are remembered with QSettings
// under "experiments/recent", newest first.
class TExperimentFileMenu : public QObject {
  Q_OBJECT

 public:
  // Adds the items to Menu before Before (at the end when null).
  TExperimentFileMenu(TMainForm& Form, QMenu* Menu, QAction* Before);

  // Reads File into the main window; a refused file is shown in a message
  // and changes nothing. True when it was opened.
  bool OpenExperiment(const QString& File);
  // Writes the main window's experiment to File; a failure is shown in a
  // message. True when it was written.
  bool SaveExperiment(const QString& File);
  // The remembered files, newest first.
  static QStringList RecentExperiments();
  // Reads the experiment of a run's result folder (experiment.toml) into
  // the main window and opens the run window replaying the folder's best
  // brain (best.brain). A folder without them is shown in a message and
  // changes nothing. True when it was opened.
  bool OpenResultFolder(const QString& Folder);

  QAction* OpenExperiment1;
  QAction* SaveExperiment1;
  QMenu* RecentExperiments1;
  QAction* OpenResultFolder1;

 private:
  void OpenClick();
  void SaveClick();
  void OpenResultFolderClick();
  void Remember(const QString& File);
  void ShowRecent();

  TMainForm& form_;
};

}  // namespace kestrovan
