#include "BatchOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <system_error>

#include "simulation/RobotSimulation.h"

namespace kestrovan {

namespace {

// The whole of Text as a decimal integer in [Min, Max].
std::int64_t ParseInteger(const std::string& Option, const std::string& Text, std::int64_t Min, std::int64_t Max) {
  std::int64_t value = 0;
  const char* last = Text.data() + Text.size();
  const auto [end, error] = std::from_chars(Text.data(), last, value);
  if (Text.empty() || error == std::errc::invalid_argument || end != last) {
    throw TUsageError(Option + ": '" + Text + "' is not a whole number");
  }
  if (error == std::errc::result_out_of_range || value < Min || value > Max) {
    throw TUsageError(Option + ": " + Text + " is outside " + std::to_string(Min) + ".." + std::to_string(Max));
  }
  return value;
}

// The whole of Text as a number with '.' as decimal separator.
double ParseReal(const std::string& Option, const std::string& Text) {
  double value = 0.0;
  const char* last = Text.data() + Text.size();
  const auto [end, error] = std::from_chars(Text.data(), last, value);
  if (Text.empty() || error != std::errc() || end != last) {
    throw TUsageError(Option + ": '" + Text + "' is not a number (write it with '.' as decimal separator)");
  }
  return value;
}

// A value that is a negative number rather than an option.
bool LooksNegative(const std::string& Text) {
  return Text.size() > 1 && Text[0] == '-' && (std::isdigit(static_cast<unsigned char>(Text[1])) || Text[1] == '.');
}

// A file or folder name: not empty, and not an option taken for a name.
std::string PathValue(const std::string& Option, const std::string& Value, const char* What) {
  if (Value.empty()) {
    throw TUsageError(Option + ": the " + What + " name is empty");
  }
  if (Value.starts_with("-")) {
    throw TUsageError(Option + ": '" + Value + "' looks like an option, not a " + What + " name");
  }
  return Value;
}

}  // namespace

const char* BatchUsage() {
  return "Usage: kestrovan-batch --arena FILE [OPTION]...\n"
         "  or:  kestrovan-batch --experiment FILE [OPTION]...\n"
         "  or:  kestrovan-batch --replay FILE.brain [--experiment FILE] [--seed N] [--trajectory OUT.csv]\n"
         "\n"
         "Runs an evolution without a window and writes its result files.\n"
         "\n"
         "Options:\n"
         "  --arena FILE          arena file to evaluate the robots in (required); a name without a folder\n"
         "                        that is not a file here names a bundled arena (--arena default)\n"
         "  --seed N              seed of the run, 0..4294967295 (default: from the clock, printed)\n"
         "  --generations G       generations to evaluate (default 1)\n"
         "  --population P        individuals per generation, at least 3 (default 100)\n"
         "  --simulation-time T   seconds per evaluation (default 20.0)\n"
         "  --time-step DT        seconds per simulation step (default 0.01)\n"
         "  --threads K           threads evaluating a generation (default: all hardware threads)\n"
         "  --out DIR             folder for the result files, created if missing (default: .)\n"
         "  --quiet               no progress lines on standard error\n"
         "  --experiment FILE     run the experiment file; the options above override its values\n"
         "  --write-experiment FILE  write the resolved experiment (every key) to FILE and exit\n"
         "  --log-evaluations     write evaluations.csv, one row per evaluation\n"
         "  --checkpoint-every N  write checkpoint.kcp every N generations (default 1; 0: never)\n"
         "  --resume DIR          continue the run in DIR from its checkpoint; with --generations G\n"
         "                        until G generations in all (default: the number it was started with)\n"
         "  --force               start over in a folder that already holds a run\n"
         "  --replay FILE.brain   evaluate a recorded brain once and print its fitness, elapsed time and\n"
         "                        steps; the experiment is experiment.toml beside it unless --experiment\n"
         "                        names one; the cylinders start as in the recording run, or with the\n"
         "                        random velocities of a run seeded with --seed N\n"
         "  --trajectory OUT.csv  with --replay: write the robot's pose and every cylinder's position per step\n"
#ifdef KESTROVAN_WITH_MPI
         "  --mpi                 one evolution over the ranks of an MPI job (mpirun -n R kestrovan-batch\n"
         "                        --mpi ...): rank 0 writes the files, every rank evaluates on --threads K\n"
         "  --verbose             with --mpi, the bytes sent and the time waited on other ranks per generation\n"
#endif
         "  --version             the program's version and source revision\n"
         "  --help                this text\n"
         "\n"
         "Every new best fitness is written to <evaluation number>.txt and its brain in full precision to\n"
         "<evaluation number>.brain (best.brain: the best so far), the fitness history to descr.txt;\n"
         "experiment.toml, arena.txt, manifest.json and generations.csv record the run.\n"
         "Exit status: 0 on success, 1 when the run fails, 2 on bad usage, 130 or 143 when stopped by\n"
         "SIGINT or SIGTERM (the run can be continued with --resume).\n";
}

TBatchOptions ParseBatchOptions(const std::vector<std::string>& Arguments) {
  TBatchOptions options;
  static const char* const kSwitches[] = {"--help", "-h",       "--quiet", "--version", "--log-evaluations", "--force",
#ifdef KESTROVAN_WITH_MPI
                                          "--mpi",  "--verbose"
#endif
  };
  static const char* const kValued[] = {
      "--arena",   "--seed",      "--generations", "--population",       "--simulation-time",  "--time-step",
      "--threads", "--out",       "--experiment",  "--write-experiment", "--checkpoint-every", "--resume",
      "--replay",  "--trajectory"};

  // A switch written with a value is refused rather than read as true or
  // false, and a negative number after an option is its value.
  std::vector<std::string> arguments;
  for (std::size_t i = 0; i < Arguments.size(); ++i) {
    const std::string& argument = Arguments[i];
    for (const std::string switchName : kSwitches) {
      if (argument.starts_with(switchName + "=")) {
        throw TUsageError(switchName + " takes no value");
      }
    }
    const bool valued = std::find(std::begin(kValued), std::end(kValued), argument) != std::end(kValued);
    // an option is never taken for a value: "--out --threads 2" names no folder
    if (valued &&
        (i + 1 == Arguments.size() || (Arguments[i + 1].starts_with("-") && !LooksNegative(Arguments[i + 1])))) {
      throw TUsageError(argument + " needs a value");
    }
    if (valued && LooksNegative(Arguments[i + 1])) {
      arguments.push_back(argument + "=" + Arguments[++i]);
    } else {
      arguments.push_back(argument);
    }
  }

  CLI::App app("kestrovan-batch");
  app.set_help_flag();
  app.allow_extras();
  CLI::Option* help = app.add_flag("-h,--help");
  std::map<std::string, CLI::Option*> switches;
  for (const char* name : {"--quiet", "--version", "--log-evaluations", "--force"}) {
    switches[name] = app.add_flag(name);
  }
#ifdef KESTROVAN_WITH_MPI
  for (const char* name : {"--mpi", "--verbose"}) {
    switches[name] = app.add_flag(name);
  }
#endif
  std::map<std::string, std::vector<std::string>> texts;
  std::map<std::string, CLI::Option*> valued;
  for (const char* name : kValued) {
    valued[name] = app.add_option(name, texts[name])
                       ->expected(0, 1)
                       ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                       ->allow_extra_args(false);
  }

  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    throw TUsageError(error.what());
  }
  if (!app.remaining().empty()) {
    const std::string first = app.remaining().front();
    throw TUsageError(first.starts_with("-") ? "unknown option '" + first + "'"
                                             : "unexpected argument '" + first + "'");
  }
  if (help->count() > 1) {
    throw TUsageError("--help given twice");
  }
  for (const auto& [name, option] : switches) {
    if (option->count() > 1) {
      throw TUsageError(name + " given twice");
    }
  }
  options.Help = help->count() > 0;
  options.Quiet = switches["--quiet"]->count() > 0;
  options.Version = switches["--version"]->count() > 0;
  options.LogEvaluations = switches["--log-evaluations"]->count() > 0;
  options.Force = switches["--force"]->count() > 0;
#ifdef KESTROVAN_WITH_MPI
  options.Mpi = switches["--mpi"]->count() > 0;
  options.Verbose = switches["--verbose"]->count() > 0;
#endif
  for (const char* name : {"--quiet", "--log-evaluations", "--force"}) {
    if (switches[name]->count() > 0) {
      options.Given.insert(name);
    }
  }

  constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();
  for (const std::string option : kValued) {
    const CLI::Option* given = valued[option];
    if (given->count() == 0) {
      continue;
    }
    if (given->count() > 1) {
      throw TUsageError(option + " given twice");
    }
    const std::vector<std::string>& values = texts[option];
    if (values.empty()) {
      throw TUsageError(option + " needs a value");
    }
    const std::string& value = values.front();
    options.Given.insert(option);
    if (option == "--arena") {
      options.ArenaFileName = PathValue(option, value, "file");
    } else if (option == "--seed") {
      options.Seed = static_cast<std::uint32_t>(ParseInteger(option, value, 0, 4294967295));
    } else if (option == "--generations") {
      options.Generations = static_cast<int>(ParseInteger(option, value, 0, kIntMax));
    } else if (option == "--population") {
      options.PopulationSize = static_cast<int>(ParseInteger(option, value, 3, kIntMax));
    } else if (option == "--threads") {
      options.Threads = static_cast<int>(ParseInteger(option, value, 1, 1024));
    } else if (option == "--out") {
      options.OutputFolder = PathValue(option, value, "folder");
    } else if (option == "--experiment") {
      options.ExperimentFile = PathValue(option, value, "file");
    } else if (option == "--write-experiment") {
      options.WriteExperimentFile = PathValue(option, value, "file");
    } else if (option == "--checkpoint-every") {
      options.CheckpointEvery = static_cast<int>(ParseInteger(option, value, 0, kIntMax));
    } else if (option == "--resume") {
      options.ResumeFolder = PathValue(option, value, "folder");
    } else if (option == "--replay") {
      options.ReplayFile = PathValue(option, value, "file");
    } else if (option == "--trajectory") {
      options.TrajectoryFile = PathValue(option, value, "file");
    } else if (option == "--simulation-time") {
      options.SimulationTime = ParseReal(option, value);
    } else {
      options.TimeStep = ParseReal(option, value);
    }
  }

  if (options.Help || options.Version) {
    return options;
  }
  // a resumed run takes its settings from its folder
  if (!options.ResumeFolder.empty()) {
    for (const char* option :
         {"--arena", "--seed", "--population", "--simulation-time", "--time-step", "--out", "--experiment",
          "--write-experiment", "--log-evaluations", "--force", "--replay", "--trajectory"}) {
      if (options.Has(option)) {
        throw TUsageError(std::string(option) + " cannot be given with --resume: the run's settings come from " +
                          options.ResumeFolder.string());
      }
    }
    return options;
  }
  if (options.Has("--trajectory") && !options.Has("--replay")) {
    throw TUsageError("--trajectory needs --replay");
  }
  if (options.Has("--replay")) {
    for (const std::string& given : options.Given) {
      if (given != "--replay" && given != "--experiment" && given != "--seed" && given != "--trajectory") {
        throw TUsageError(given + " does not go with --replay (only --experiment, --seed and --trajectory do)");
      }
    }
    return options;
  }
  // an experiment file may name the arena; --write-experiment needs none
  if (!options.Has("--arena") && options.ExperimentFile.empty() && options.WriteExperimentFile.empty()) {
    throw TUsageError("--arena FILE is required");
  }
  try {
    TRobotSimulationParameters(options.SimulationTime, options.TimeStep).Validate();
  } catch (const std::invalid_argument& error) {
    throw TUsageError(std::string("--simulation-time/--time-step: ") + error.what());
  }
  return options;
}

TEAParameters BatchEAParameters(int PopulationSize) {
  // the defaults as the EA setup dialog leaves them after OK without edits
  TEAParameters parameters;
  parameters.PopulationSize = PopulationSize;
  parameters.SetFixedChoices();
  return parameters;
}

}  // namespace kestrovan
