#include "BatchOptions.h"

#include <charconv>
#include <limits>
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

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const char* BatchUsage() {
  return "Usage: kestrovan-batch --arena FILE [OPTION]...\n"
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
         "  --help                this text\n"
         "  --version             the version and the source revision\n"
         "\n"
         "Every new best fitness is written to <evaluation number>.txt, the fitness history to descr.txt.\n"
         "Exit status: 0 on success, 1 when the run fails, 2 on bad usage.\n";
}

TBatchOptions ParseBatchOptions(const std::vector<std::string>& Arguments) {
  TBatchOptions options;
  std::set<std::string> seen;
  bool hasArena = false;

  for (std::size_t i = 0; i < Arguments.size(); ++i) {
    std::string option = Arguments[i];
    std::optional<std::string> attached;
    if (const std::size_t equals = option.find('='); option.starts_with("--") && equals != std::string::npos) {
      attached = option.substr(equals + 1);
      option.erase(equals);
    }
    if (!option.starts_with("-")) {
      throw TUsageError("unexpected argument '" + option + "'");
    }
    if (!seen.insert(option).second) {
      throw TUsageError(option + " given twice");
    }

    // switches take no value
    if (option == "--help" || option == "-h" || option == "--quiet" || option == "--version") {
      if (attached.has_value()) {
        throw TUsageError(option + " takes no value");
      }
      (option == "--quiet" ? options.Quiet : option == "--version" ? options.Version : options.Help) = true;
      continue;
    }

    // every other option takes one value
    static const std::set<std::string_view> kValued = {"--arena",   "--seed", "--generations",     "--population",
                                                       "--threads", "--out",  "--simulation-time", "--time-step"};
    if (!kValued.contains(option)) {
      throw TUsageError("unknown option '" + option + "'");
    }
    std::string value;
    if (attached.has_value()) {
      value = *attached;
    } else if (i + 1 < Arguments.size()) {
      value = Arguments[++i];
      // "--out --threads" lacks its value rather than naming a folder "--threads"
      if (value.size() > 1 && value[0] == '-' && !IsDigit(value[1]) && value[1] != '.') {
        throw TUsageError(option + " needs a value, got the option-like '" + value + "' (write " + option + "=" +
                          value + " if that is meant)");
      }
    } else {
      throw TUsageError(option + " needs a value");
    }

    constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();
    if (option == "--arena") {
      if (value.empty()) {
        throw TUsageError("--arena: the file name is empty");
      }
      options.ArenaFileName = value;
      hasArena = true;
    } else if (option == "--seed") {
      options.Seed = static_cast<std::uint32_t>(ParseInteger(option, value, 0, 4294967295));
    } else if (option == "--generations") {
      options.Generations = static_cast<int>(ParseInteger(option, value, 0, kIntMax));
    } else if (option == "--population") {
      options.PopulationSize = static_cast<int>(ParseInteger(option, value, 3, kIntMax));
    } else if (option == "--threads") {
      options.Threads = static_cast<int>(ParseInteger(option, value, 1, 1024));
    } else if (option == "--out") {
      if (value.empty()) {
        throw TUsageError("--out: the folder name is empty");
      }
      options.OutputFolder = value;
    } else if (option == "--simulation-time") {
      options.SimulationTime = ParseReal(option, value);
    } else {
      options.TimeStep = ParseReal(option, value);
    }
  }

  if (options.Help || options.Version) {
    return options;
  }
  if (!hasArena) {
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
