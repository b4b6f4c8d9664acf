#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "arena/Arena.h"
#include "arena/CommaLocale.h"
#include "arena/InputFile.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

const char* const kCylinder = "object Can: TCylinderZ\n  Radius = 0.1\n  Mass = 0.5\nend\n";

// The error of loading Text as "in.txt", as "FILE:LINE: message".
std::string LoadError(std::string_view Text) {
  std::istringstream input{std::string(Text)};
  try {
    TArena arena(input, "in.txt");
  } catch (const TArenaFileError& error) {
    return error.Located();
  }
  return "loaded";
}

// The error of loading the file Path.
std::string FileError(const std::string& Path) {
  try {
    TArena arena(Path);
  } catch (const TArenaFileError& error) {
    return error.what();
  }
  return "loaded";
}

// ---- files that are not regular files, and pipes

TEST(HostileInput, APipeReadsLikeTheSameFile) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string content = std::string("object Floor: TBasicFloor\n  Length = 2\nend\n") + kCylinder;
  ASSERT_EQ(::write(ends[1], content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(ends[1]);
  // the path a shell gives for <(...) or /dev/stdin
  const std::string path = "/dev/fd/" + std::to_string(ends[0]);
  const TArena arena(path);
  ::close(ends[0]);
  ASSERT_EQ(arena.NumberOfObjects(), 2);
  EXPECT_EQ(arena.Cylinders().size(), 1u);
  EXPECT_EQ(arena.ObjectLine(2), 4);
}

TEST(HostileInput, FifosFoldersAndDevicesAreRefusedAtOnce) {
  const test::TTemporaryFolder folder;
  const std::string fifo = (folder.Path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(FileError(fifo), "not a regular file (a named FIFO)");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

  EXPECT_EQ(FileError(folder.Path().string()), "not a regular file (a folder)");
  EXPECT_EQ(FileError("/dev/zero"), "not a regular file (a device)");
  EXPECT_EQ(FileError("/dev/null"), "not a regular file (a device)");
}

TEST(HostileInput, TheSystemsReasonIsGivenForFilesThatCannotBeOpened) {
  const test::TTemporaryFolder folder;
  const std::filesystem::path plain = folder.Write("plain.txt", kCylinder);
  EXPECT_EQ(FileError((plain / "arena.txt").string()), "Not a directory");
  EXPECT_EQ(FileError((folder.Path() / "none.txt").string()), "File not found");
  if (::geteuid() != 0) {
    const std::filesystem::path locked = folder.Write("locked/arena.txt", kCylinder);
    ::chmod(locked.parent_path().c_str(), 0);
    EXPECT_EQ(FileError(locked.string()), "Permission denied");
    ::chmod(locked.parent_path().c_str(), 0700);
  }
}

TEST(HostileInput, SizesAreBounded) {
  const test::TTemporaryFolder folder;
  const std::filesystem::path path = folder.Write("big.txt", std::string(2 * 1024 * 1024, '#'));
  try {
    ReadInputFile(path.string(), 1024 * 1024);
    ADD_FAILURE() << "read";
  } catch (const TInputFileError& error) {
    EXPECT_STREQ(error.what(), "file larger than 1 MB");
  }
  EXPECT_EQ(ReadInputFile(path.string()).size(), 2u * 1024 * 1024);

  // a line of exactly the maximum passes, one byte more does not
  const std::string longest(kMaximumInputLineLength, '#');
  EXPECT_EQ(LoadError(std::string(kCylinder) + longest + "\n"), "loaded");
  EXPECT_EQ(LoadError(std::string(kCylinder) + longest + "#\n"), "in.txt:5: line longer than 1048576 bytes");

  const std::string shelf = "object S: TStandardBookShelf\n  NumberOfShelves = ";
  EXPECT_EQ(LoadError(shelf + "1000\nend\n"), "loaded");
  EXPECT_EQ(LoadError(shelf + "1001\nend\n"), "in.txt:2: NumberOfShelves 1001 is above the maximum of 1000");
  EXPECT_EQ(LoadError("object S: TStandardSofa\n\n  NumberOfSeats = 2147483647\nend\n"),
            "in.txt:3: NumberOfSeats 2147483647 is above the maximum of 1000");
}

// ---- text only

TEST(HostileInput, AByteOrderMarkIsSkipped) {
  std::istringstream input("\xEF\xBB\xBFobject Floor: TBasicFloor\nend\n");
  const TArena arena(input, "bom.txt");
  ASSERT_EQ(arena.NumberOfObjects(), 1);
  EXPECT_NE(arena.Floor(), nullptr);
}

TEST(HostileInput, NulBytesAndUtf16AreRefusedWithTheirLine) {
  EXPECT_EQ(LoadError(std::string(kCylinder) + std::string("# a\0b\n", 6)), "in.txt:5: not a text file: NUL byte");
  EXPECT_EQ(LoadError(std::string(64, '\0')), "in.txt:1: not a text file: NUL byte");
  // UTF-16 with its byte-order mark, either byte order, and without one
  EXPECT_EQ(LoadError("\xFF\xFEo\0b\0"), "in.txt:1: not a text file: UTF-16 (write the arena file as UTF-8 or ASCII)");
  EXPECT_EQ(LoadError("\xFE\xFF\0o\0b"), "in.txt:1: not a text file: UTF-16 (write the arena file as UTF-8 or ASCII)");
  EXPECT_EQ(LoadError(std::string("o\0b\0j\0", 6)), "in.txt:1: not a text file: NUL byte");
}

TEST(HostileInput, ControlCharactersInMessagesAreEscaped) {
  const std::string message = LoadError("object A: TWall\n  Length = \x1b[31m\x07\nend\n");
  EXPECT_EQ(message, "in.txt:2: '\\x1b[31m\\x07' is not a valid floating point value");
  EXPECT_EQ(EscapeControlCharacters(std::string("a\0\x7f\t\xc3\xa9", 6)), "a\\x00\\x7f\\x09\xc3\xa9");
}

// ---- numbers under a decimal-comma locale

TEST(HostileInput, BundledArenasLoadUnderADecimalCommaLocale) {
  test::TCommaLocale comma;
  if (!comma.Active()) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  for (const char* name : {"default.txt", "furnished.txt"}) {
    const TArena arena((test::SourceDir() / "arenas" / name).string());
    ASSERT_NE(arena.Floor(), nullptr) << name;
    EXPECT_GT(arena.Floor()->Width, 2.0) << name;
    EXPECT_FALSE(arena.Cylinders().empty()) << name;
  }
}

}  // namespace
}  // namespace kestrovan
