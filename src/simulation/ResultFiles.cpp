#include "simulation/ResultFiles.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "numerics/Matrices.h"
#include "robot/FSMBrain.h"

namespace kestrovan {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendInteger(std::string& Text, long long Value) {
  char digits[32];
  const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, Value);
  Text.append(digits, result.ptr);
}

void AppendLine(std::string& Text, std::string_view Line) {
  Text += Line;
  Text += kLineEnd;
}

void Call(const std::function<void()>& Yield) {
  if (Yield) {
    Yield();
  }
}

// "tauL = ..., tauR = ..., s[7] = ..., ..., s[10] = ..." for state Row.
void AppendStateLine(std::string& Text, const TMatrix& Genome, int Row) {
  static constexpr std::string_view kLabels[6] = {
      "tauL = ", ", tauR = ", ", s[7] = ", ", s[8] = ", ", s[9] = ", ", s[10] = "};
  for (int column = 1; column <= 6; ++column) {
    Text += kLabels[column - 1];
    const double gene = Genome.GetElement(Row, column);
    // the two motor signals are 2g - 1, the four constants the genes themselves
    AppendFixed(Text, column <= 2 ? 2 * gene - 1 : gene, 3);
  }
  Text += kLineEnd;
}

// " If (s[i] > s[j]) and (s[k] > s[l]) then jump to state t" for condition
// Condition of state Row, decoded as the brain decodes it.
void AppendConditionLine(std::string& Text, const TFSMBrain& Brain, int Row, int Condition) {
  static constexpr std::string_view kParts[4] = {" If (s[", "] > s[", "]) and (s[", "] > s["};
  const int first = 5 * (Condition - 1);
  for (int m = 7; m <= 10; ++m) {
    Text += kParts[m - 7];
    AppendInteger(Text, TFSMBrain::DecodeInputIndex(Brain.Genome.GetElement(Row, first + m), Brain.NumberOfInputs));
  }
  Text += "])";
  Text += " then jump to state ";
  AppendInteger(Text, TFSMBrain::DecodeTargetState(Brain.Genome.GetElement(Row, first + 11), Brain.NumberOfStates));
  Text += kLineEnd;
}

// Removes the temporary file and reports the failure under the target's name.
[[noreturn]] void FailWrite(const std::string& Target, const std::string& Temporary, int Error) {
  std::remove(Temporary.c_str());
  throw std::runtime_error("Cannot write '" + Target + "': " + (Error != 0 ? std::strerror(Error) : "unknown error"));
}

}  // namespace

namespace {

// The exact product A * B as Product + Error (Dekker's algorithm: exact
// under round-to-nearest without fused multiply-add, as long as nothing
// overflows or underflows).
void TwoProduct(double A, double B, double& Product, double& Error) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double a = kSplitter * A;
  const double aHigh = a - (a - A);
  const double aLow = A - aHigh;
  const double b = kSplitter * B;
  const double bHigh = b - (b - B);
  const double bLow = B - bHigh;
  Product = A * B;
  Error = ((aHigh * bHigh - Product) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
}

// Powers of ten that the fast path scales by, all exact doubles.
constexpr double kPowersOfTen[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0};

// Room for any double with up to 60 decimals: 309 integer digits, sign, point.
constexpr int kMaximumFixedLength = 400;

// "000" to "999": three decimals are copied rather than divided out.
struct TThreeDigits {
  char Digits[1000][3];
  constexpr TThreeDigits() : Digits() {
    for (int i = 0; i < 1000; ++i) {
      Digits[i][0] = static_cast<char>('0' + i / 100);
      Digits[i][1] = static_cast<char>('0' + i / 10 % 10);
      Digits[i][2] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr TThreeDigits kThreeDigits;

// Writes Scaled / 10^Decimals with Decimals decimals at Out; returns the end.
template <int Decimals>
char* WriteScaled(char* Out, std::uint64_t Scaled) {
  constexpr std::uint64_t kUnit = static_cast<std::uint64_t>(kPowersOfTen[Decimals]);
  std::uint64_t integerPart = Scaled / kUnit;
  auto fractionPart = static_cast<std::uint32_t>(Scaled % kUnit);
  // the integer part's digits, written from the right once their count is known
  if (integerPart < 10) {
    *Out++ = static_cast<char>('0' + integerPart);
  } else {
    int count = 1;
    for (std::uint64_t rest = integerPart; rest >= 10; rest /= 10) {
      ++count;
    }
    char* digit = Out + count;
    do {
      *--digit = static_cast<char>('0' + integerPart % 10);
      integerPart /= 10;
    } while (integerPart != 0);
    Out += count;
  }
  if constexpr (Decimals > 0) {
    *Out++ = '.';
    if constexpr (Decimals == 3) {
      std::memcpy(Out, kThreeDigits.Digits[fractionPart], 3);
    } else {
      for (int i = Decimals - 1; i >= 0; --i) {
        Out[i] = static_cast<char>('0' + fractionPart % 10);
        fractionPart /= 10;
      }
    }
    Out += Decimals;
  }
  return Out;
}

// Writes Value with Decimals decimals at Out, as printf's "%.*f" writes it
// in the C locale; returns the end of the text. Out must have room for
// kMaximumFixedLength characters.
template <int Decimals>
char* WriteFixed(char* Out, double Value) {
  static_assert(Decimals >= 0 && Decimals <= 6);
  // Fast path: |Value| * 10^Decimals is formed exactly as a product and an
  // error term and rounded to the nearest integer, ties to even, which is
  // what printf does with the exact binary value. Beyond 2^52 and for
  // infinities and NaN, to_chars does it (it rounds like printf in the C
  // locale and never uses the locale).
  constexpr double kScale = kPowersOfTen[Decimals];
  const double magnitude = std::fabs(Value);
  if (!(magnitude * kScale < 4503599627370496.0)) {
    return std::to_chars(Out, Out + kMaximumFixedLength, Value, std::chars_format::fixed, Decimals).ptr;
  }
  std::uint64_t scaled = 0;
  // below a quarter unit the value rounds to zero (and the error term could underflow)
  if (magnitude * kScale >= 0.25) {
    double product = 0.0;
    double error = 0.0;
    TwoProduct(magnitude, kScale, product, error);
    scaled = static_cast<std::uint64_t>(product);                   // floor: product is positive and below 2^52
    const double fraction = product - static_cast<double>(scaled);  // exact
    // the exact value is scaled + fraction + error, |error| <= half an ulp of product
    if (fraction > 0.5 || (fraction == 0.5 && (error > 0.0 || (error == 0.0 && (scaled & 1U) != 0)))) {
      ++scaled;
    }
  }
  if (std::signbit(Value)) {
    *Out++ = '-';
  }
  return WriteScaled<Decimals>(Out, scaled);
}

// WriteFixed with the number of decimals chosen at run time; to_chars for
// more than six.
char* WriteFixed(char* Out, double Value, int Decimals) {
  switch (Decimals) {
    case 0:
      return WriteFixed<0>(Out, Value);
    case 1:
      return WriteFixed<1>(Out, Value);
    case 2:
      return WriteFixed<2>(Out, Value);
    case 3:
      return WriteFixed<3>(Out, Value);
    case 4:
      return WriteFixed<4>(Out, Value);
    case 5:
      return WriteFixed<5>(Out, Value);
    case 6:
      return WriteFixed<6>(Out, Value);
    default:
      return std::to_chars(Out, Out + kMaximumFixedLength, Value, std::chars_format::fixed, Decimals).ptr;
  }
}

}  // namespace

void AppendFixed(std::string& Text, double Value, int Decimals) {
  char digits[kMaximumFixedLength];
  Text.append(digits, WriteFixed(digits, Value, Decimals));
}

std::string FormatNewBestFile(const TFSMBrain& Brain, const TMatrix& RobotTrajectory, const TMatrix& CylinderTrajectory,
                              const std::function<void()>& Yield) {
  std::string text;
  // about 16 characters per robot row and 7 per cylinder value
  text.reserve(256 + static_cast<std::size_t>(Brain.NumberOfStates) * 64 * (1 + Brain.NumberOfConditions) +
               static_cast<std::size_t>(RobotTrajectory.Rows()) * 20 +
               static_cast<std::size_t>(CylinderTrajectory.Rows()) * (4 + 8 * CylinderTrajectory.Columns()));

  // the brain in readable form
  AppendLine(text, "(*");
  AppendLine(text, "FSM: ");
  for (int q = 1; q <= Brain.NumberOfStates; ++q) {
    AppendStateLine(text, Brain.Genome, q);
    for (int c = 1; c <= Brain.NumberOfConditions; ++c) {
      AppendConditionLine(text, Brain, q, c);
    }
  }
  AppendLine(text, "*)");
  AppendLine(text, " ");

  // robot positions, one "{x, y}" per step; the list stays open
  AppendLine(text, "Robotpos = {");
  char line[2 * kMaximumFixedLength + 16];
  for (int i = 1; i <= RobotTrajectory.Rows(); ++i) {
    char* end = line;
    *end++ = '{';
    end = WriteFixed<3>(end, RobotTrajectory.GetElement(i, 1));
    *end++ = ',';
    *end++ = ' ';
    end = WriteFixed<3>(end, RobotTrajectory.GetElement(i, 2));
    *end++ = '}';
    *end++ = '\r';
    *end++ = '\n';
    text.append(line, end);
    Call(Yield);
  }
  AppendLine(text, "");

  // cylinder positions, "{x1,y1,x2,y2,...}," per step; the last value closes
  // the row, so a row without cylinders is "{" alone
  const int columns = CylinderTrajectory.Columns();
  for (int i = 1; i <= CylinderTrajectory.Rows(); ++i) {
    // values gathered in the line buffer, which is flushed whenever it might overflow
    char* end = line;
    *end++ = '{';
    for (int j = 1; j <= columns; ++j) {
      if (end - line > static_cast<std::ptrdiff_t>(sizeof line) - kMaximumFixedLength - 8) {
        text.append(line, end);
        end = line;
      }
      end = WriteFixed<3>(end, CylinderTrajectory.GetElement(i, j));
      // the last value closes the row: "},"
      if (j == columns) {
        *end++ = '}';
      }
      *end++ = ',';
    }
    *end++ = '\r';
    *end++ = '\n';
    text.append(line, end);
    Call(Yield);
  }
  return text;
}

std::string FormatHistoryFile(const TVector& MaxFitnessHistory, const TVector& AverageFitnessHistory) {
  std::string text;
  const auto appendHistory = [&text](std::string_view Header, const TVector& History) {
    AppendLine(text, Header);
    for (int g = 1; g <= History.Count(); ++g) {
      text += '{';
      AppendInteger(text, g);
      text += ',';
      AppendFixed(text, History.GetElement(g), 4);
      text += "},";
      text += kLineEnd;
    }
  };
  appendHistory("MaxFitness = {", MaxFitnessHistory);
  appendHistory("AvgFitness = {", AverageFitnessHistory);
  return text;
}

void WriteFileAtomically(const std::filesystem::path& Path, std::string_view Content) {
  const std::string target = Path.string();
  // a hidden name in the same folder, so that the rename cannot cross file systems
  std::filesystem::path temporary = Path;
  std::string temporaryFileName = ".";
  temporaryFileName += Path.filename().string();
  temporaryFileName += ".tmp";
  temporaryFileName += std::to_string(getpid());
  temporary.replace_filename(temporaryFileName);
  const std::string temporaryName = temporary.string();

  errno = 0;
  std::FILE* file = std::fopen(temporaryName.c_str(), "wb");
  if (file == nullptr) {
    FailWrite(target, temporaryName, errno);
  }
  errno = 0;
  const bool written = std::fwrite(Content.data(), 1, Content.size(), file) == Content.size() && std::fflush(file) == 0;
  const int writeError = errno;
  errno = 0;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  if (!written) {
    FailWrite(target, temporaryName, writeError);
  }
  if (!closed) {
    FailWrite(target, temporaryName, closeError);
  }
  errno = 0;
  if (std::rename(temporaryName.c_str(), target.c_str()) != 0) {
    FailWrite(target, temporaryName, errno);
  }
}

bool IsTemporaryResultFileName(const std::string& FileName, long& ProcessId) {
  const std::size_t marker = FileName.rfind(".txt.tmp");
  if (!FileName.starts_with('.') || marker == std::string::npos || marker < 2) {
    return false;
  }
  const std::string_view digits = std::string_view(FileName).substr(marker + 8);
  long id = 0;
  const std::from_chars_result result = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size() || id <= 0) {
    return false;
  }
  ProcessId = id;
  return true;
}

void PrepareOutputFolder(const std::filesystem::path& Folder) {
  const std::string name = Folder.string();
  std::error_code error;
  std::filesystem::create_directories(Folder, error);
  if (error) {
    throw std::runtime_error("Cannot create folder '" + name + "': " + error.message());
  }
  if (!std::filesystem::is_directory(Folder, error)) {
    throw std::runtime_error("'" + name + "' is not a folder");
  }

  // temporary files of killed runs; a process that still runs keeps its own
  for (std::filesystem::directory_iterator entry(Folder, error), end; !error && entry != end; entry.increment(error)) {
    long processId = 0;
    if (IsTemporaryResultFileName(entry->path().filename().string(), processId) &&
        (::kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH) && entry->is_regular_file(error)) {
      std::filesystem::remove(entry->path(), error);
      error.clear();
    }
  }

  // a probe file, so that a folder that cannot be written is found before
  // the first evaluation rather than at the first new best
  const std::filesystem::path probe = Folder / (".kestrovan-probe" + std::to_string(getpid()));
  const std::string probeName = probe.string();
  errno = 0;
  std::FILE* file = std::fopen(probeName.c_str(), "wb");
  if (file == nullptr) {
    const int reason = errno;
    throw std::runtime_error("Cannot write in folder '" + name +
                             "': " + (reason != 0 ? std::strerror(reason) : "unknown error"));
  }
  errno = 0;
  const bool written = std::fputc('\n', file) != EOF && std::fflush(file) == 0;
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  std::remove(probeName.c_str());
  if (!written || !closed) {
    const int reason = !written ? writeError : closeError;
    throw std::runtime_error("Cannot write in folder '" + name +
                             "': " + (reason != 0 ? std::strerror(reason) : "unknown error"));
  }
}

}  // namespace kestrovan
