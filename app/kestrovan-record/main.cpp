// kestrovan-record: a brain file's replay rendered by the 3D view frame by
// frame and encoded to a video by the ffmpeg program.
#include <QApplication>
#include <QImage>
#include <QWidget>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "arena/Arena.h"
#include "experiment/Experiment.h"
#include "experiment/Replay.h"
#include "robot/Robot.h"
#include "simulation/BrainFile.h"
#include "version/Version.h"
#include "view3d/SceneViewer.h"
#include "view3d/Simulation3DViewer.h"

namespace {

const char* const kUsage =
    "Usage: kestrovan-record FILE.brain --out VIDEO [OPTION]...\n"
    "\n"
    "Replays a recorded brain as kestrovan-batch --replay does and renders every frame with the\n"
    "3D view of the windows, encoded by the ffmpeg program (the format follows VIDEO's extension).\n"
    "It needs a display; on a machine without one run it under xvfb-run.\n"
    "\n"
    "Options:\n"
    "  --out VIDEO        the video file to write (required), for example replay.mp4\n"
    "  --size WxH         frame size in pixels, both even (default 800x600)\n"
    "  --fps N            frames per simulated second, 1..240 (default 30)\n"
    "  --experiment FILE  the experiment to replay in (default: experiment.toml beside the brain file)\n"
    "  --quiet            no progress bar on standard error\n"
    "  --version          the program's version and source revision\n"
    "  --help             this text\n"
    "\n"
    "Exit status: 0 on success, 1 when the replay or the video fails, 2 on bad usage.\n";

struct TOptions {
  std::filesystem::path Brain;
  std::filesystem::path Out;
  std::filesystem::path Experiment;
  int Width = 800;
  int Height = 600;
  int Fps = 30;
  bool Quiet = false;
};

struct TUsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

int WholeNumber(const std::string& Option, const std::string& Text, int Min, int Max) {
  int value = 0;
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
  if (Text.empty() || error != std::errc() || end != Text.data() + Text.size() || value < Min || value > Max) {
    throw TUsageError(Option + ": '" + Text + "' is not a whole number in " + std::to_string(Min) + ".." +
                      std::to_string(Max));
  }
  return value;
}

TOptions Parse(const std::vector<std::string>& Arguments) {
  TOptions options;
  for (std::size_t i = 0; i < Arguments.size(); ++i) {
    const std::string& argument = Arguments[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= Arguments.size()) {
        throw TUsageError(argument + " needs a value");
      }
      return Arguments[++i];
    };
    if (argument == "--out") {
      options.Out = value();
    } else if (argument == "--experiment") {
      options.Experiment = value();
    } else if (argument == "--fps") {
      options.Fps = WholeNumber(argument, value(), 1, 240);
    } else if (argument == "--size") {
      const std::string size = value();
      const std::size_t x = size.find('x');
      if (x == std::string::npos) {
        throw TUsageError("--size: '" + size + "' is not WIDTHxHEIGHT");
      }
      options.Width = WholeNumber("--size", size.substr(0, x), 16, 7680);
      options.Height = WholeNumber("--size", size.substr(x + 1), 16, 4320);
      if (options.Width % 2 != 0 || options.Height % 2 != 0) {
        throw TUsageError("--size: width and height must be even (the video's colour format halves them)");
      }
    } else if (argument == "--quiet") {
      options.Quiet = true;
    } else if (argument.starts_with("-")) {
      throw TUsageError("unknown option '" + argument + "'");
    } else if (options.Brain.empty()) {
      options.Brain = argument;
    } else {
      throw TUsageError("unexpected argument '" + argument + "'");
    }
  }
  if (options.Brain.empty()) {
    throw TUsageError("a brain file is required");
  }
  if (options.Out.empty()) {
    throw TUsageError("--out VIDEO is required");
  }
  return options;
}

// A shell word in single quotes.
std::string Quoted(const std::string& Text) {
  std::string quoted = "'";
  for (const char c : Text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

void Progress(int Frame, int Frames) {
  constexpr int kWidth = 40;
  const int filled = Frames > 0 ? Frame * kWidth / Frames : kWidth;
  std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << Frame << '/' << Frames
            << " frames" << std::flush;
}

int Record(const TOptions& Options) {
  using namespace kestrovan;
  const TBrainRecord record = ReadBrainFile(Options.Brain);
  const std::filesystem::path folder =
      Options.Brain.parent_path().empty() ? std::filesystem::path(".") : Options.Brain.parent_path();
  const TExperiment experiment =
      Options.Experiment.empty() ? ResultFolderExperiment(folder) : ReadExperiment(Options.Experiment);
  std::unique_ptr<TBrainReplay> replay;
  try {
    replay = std::make_unique<TBrainReplay>(experiment, record);
  } catch (const std::invalid_argument& error) {
    throw std::runtime_error(Options.Brain.string() + ": " + error.what());
  }
  for (const std::string& warning : replay->Warnings()) {
    std::cerr << "kestrovan-record: warning: " << warning << '\n';
  }

  // the view in a window of the frame's size, the surface filling it
  QWidget host;
  host.setWindowTitle(QStringLiteral("kestrovan-record"));
  host.resize(Options.Width, Options.Height);
  TSimulation3DViewer viewer(&host);
  viewer.SetArena(&replay->Arena());
  viewer.BuildArenaScene();
  viewer.BuildRobot(replay->Robot());
  viewer.SetViewerGeometry(0, 0, Options.Width, Options.Height);
  host.show();

  const std::string command = "ffmpeg -nostdin -y -loglevel error -f rawvideo -pix_fmt rgba -s " +
                              std::to_string(Options.Width) + "x" + std::to_string(Options.Height) + " -r " +
                              std::to_string(Options.Fps) + " -i - -pix_fmt yuv420p " + Quoted(Options.Out.string());
  std::FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) {
    throw std::runtime_error("cannot start ffmpeg (install Debian's ffmpeg package)");
  }
  // frame k shows the first state at or after k / fps seconds
  const int frames = static_cast<int>(std::lround(experiment.SimulationTime * Options.Fps));
  int frame = 0;
  bool written = true;
  const auto writeFrame = [&] {
    viewer.UpdateRobot(replay->Robot());
    viewer.UpdateArenaObjects();
    QImage image = viewer.SceneViewer->grabFramebuffer();
    if (image.width() != Options.Width || image.height() != Options.Height) {
      image = image.scaled(Options.Width, Options.Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    image = image.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < image.height() && written; ++y) {
      written = std::fwrite(image.constScanLine(y), 4, static_cast<std::size_t>(Options.Width), pipe) ==
                static_cast<std::size_t>(Options.Width);
    }
    ++frame;
    if (!Options.Quiet) {
      Progress(frame, frames);
    }
  };
  bool finished = false;
  while (frame < frames && written) {
    while (!finished && replay->Simulation().Time < (frame + 1) / static_cast<double>(Options.Fps) - 1e-9) {
      finished = replay->Step();
    }
    writeFrame();
  }
  if (!Options.Quiet) {
    std::cerr << '\n';
  }
  const int status = pclose(pipe);
  if (!written || status != 0) {
    throw std::runtime_error("ffmpeg could not write '" + Options.Out.string() + "'");
  }
  std::cout << "video: " << Options.Out.string() << ", " << frame << " frames of " << Options.Width << "x"
            << Options.Height << " at " << Options.Fps << " fps; replay fitness " << ShortestReal(replay->Run())
            << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  for (const std::string& argument : arguments) {
    if (argument == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (argument == "--version") {
      std::cout << kestrovan::VersionLine("kestrovan-record") << std::endl;
      return 0;
    }
  }
  TOptions options;
  try {
    options = Parse(arguments);
  } catch (const TUsageError& error) {
    std::cerr << "kestrovan-record: " << error.what() << "\n\n" << kUsage;
    return 2;
  }
  QApplication application(argc, argv);
  // arena files are read with the locale's decimal separator, as kestrovan-batch reads them
  std::setlocale(LC_ALL, "");
  try {
    return Record(options);
  } catch (const kestrovan::TArenaFileError& error) {
    std::cerr << "\nkestrovan-record: " << error.Located() << std::endl;
  } catch (const std::exception& error) {
    std::cerr << "\nkestrovan-record: " << error.what() << std::endl;
  }
  return 1;
}
