// Finding the data that comes with the programs from the programs' folder,
// and reading an arena name from a command line.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"
#include "version/BundledData.h"

namespace kestrovan {
namespace {

namespace fs = std::filesystem;

TEST(BundledData, ExecutableFolderIsTheTestProgramsOwn) {
  EXPECT_EQ(fs::canonical(ExecutableFolder()), fs::canonical(KESTROVAN_TEST_BINARY_DIR));
}

TEST(BundledData, InstalledLayoutIsFoundFromTheProgramsFolderWhereverThePrefixLies) {
  const test::TTemporaryFolder prefix;
  fs::create_directories(prefix.Path() / "bin");
  EXPECT_EQ(BundledDataFolder(prefix.Path() / "bin"), fs::path()) << "no data installed yet";

  prefix.Write("share/kestrovan/arenas/default.txt", "");
  EXPECT_EQ(BundledDataFolder(prefix.Path() / "bin"), prefix.Path() / "share" / "kestrovan");
  EXPECT_EQ(BundledArenasFolder(prefix.Path() / "bin"), prefix.Path() / "share" / "kestrovan" / "arenas");
  // a folder written with "." and ".." steps is the same folder
  EXPECT_EQ(BundledArenasFolder(prefix.Path() / "bin" / "." / ".." / "bin"),
            prefix.Path() / "share" / "kestrovan" / "arenas");

  // a data folder without arenas/ is not the bundled data
  const test::TTemporaryFolder empty;
  empty.Write("share/kestrovan/README", "");
  EXPECT_EQ(BundledDataFolder(empty.Path() / "bin"), fs::path());
  EXPECT_EQ(BundledArenasFolder(empty.Path() / "bin"), fs::path());
  EXPECT_EQ(BundledDataFolder(fs::path()), fs::path());
}

TEST(BundledData, ProgramsInTheBuildFolderUseTheSourceCheckout) {
  const fs::path build(KESTROVAN_TEST_BUILD_DIR);
  EXPECT_EQ(BundledDataFolder(build / "app" / "kestrovan-batch"), test::SourceDir().lexically_normal());
  EXPECT_EQ(BundledArenasFolder(), test::SourceDir().lexically_normal() / "arenas") << "this test runs from there";
  // the build folder's parent is not inside it
  EXPECT_EQ(BundledDataFolder(build.parent_path() / "elsewhere"), fs::path());
}

TEST(BundledData, ArenaNamesResolveToFilesHereFirstThenToBundledArenas) {
  const test::TTemporaryFolder arenas;
  const fs::path bundled = arenas.Write("default.txt", "");
  const fs::path noExtension = arenas.Write("plain", "");
  const test::TTemporaryFolder here;
  const fs::path local = here.Write("default.txt", "");

  // a bare name, with or without .txt
  EXPECT_EQ(ResolveArenaFile("default", arenas.Path()), bundled);
  EXPECT_EQ(ResolveArenaFile("default.txt", arenas.Path()), bundled);
  EXPECT_EQ(ResolveArenaFile("plain", arenas.Path()), noExtension);
  // an existing file wins, and a name with a folder is never looked up
  EXPECT_EQ(ResolveArenaFile(local.string(), arenas.Path()), local);
  EXPECT_EQ(ResolveArenaFile("sub/default.txt", arenas.Path()), fs::path("sub/default.txt"));
  // what is found nowhere stays as given, so the loader names it
  EXPECT_EQ(ResolveArenaFile("missing", arenas.Path()), fs::path("missing"));
  EXPECT_EQ(ResolveArenaFile("default", fs::path()), fs::path("default"));
  EXPECT_EQ(ResolveArenaFile("", arenas.Path()), fs::path());
  EXPECT_EQ(ResolveArenaFile("..", arenas.Path()), fs::path(".."));
}

}  // namespace
}  // namespace kestrovan
