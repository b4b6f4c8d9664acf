#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "WriteBehind.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

// Jobs posted faster than they are written: whichever were merged while
// waiting, the folder ends with the newest generations.csv and the newest
// checkpoint posted, even when the newest job carried none.
TEST(WriteBehind, LeavesTheNewestTableAndTheNewestCheckpoint) {
  test::TTemporaryFolder folder;
  TCheckpoint first;
  first.EvaluationCount = 100;
  TCheckpoint second;
  second.EvaluationCount = 200;
  {
    TWriteBehind writer(folder.Path());
    for (int g = 1; g <= 50; ++g) {
      TWriteBehind::TJob job;
      job.GenerationsText = "table " + std::to_string(g) + "\n";
      if (g == 10) {
        job.Checkpoint = first;
      } else if (g == 40) {
        job.Checkpoint = second;
      }
      writer.Post(std::move(job));
    }
    writer.Finish();
  }
  EXPECT_EQ(test::ReadFile(folder.Path() / kGenerationsFile), "table 50\n");
  // the newest checkpoint, byte for byte
  std::filesystem::create_directory(folder.Path() / "reference");
  WriteCheckpoint(folder.Path() / "reference" / kCheckpointFile, second);
  EXPECT_EQ(test::ReadFile(folder.Path() / kCheckpointFile),
            test::ReadFile(folder.Path() / "reference" / kCheckpointFile));
}

// A file that cannot be written is reported by the next Finish or Post, once.
TEST(WriteBehind, ReportsAFailedWrite) {
  test::TTemporaryFolder folder;
  TWriteBehind writer(folder.Path() / "missing" / "folder");
  TWriteBehind::TJob job;
  job.GenerationsText = "table\n";
  writer.Post(job);
  EXPECT_ANY_THROW(writer.Finish());
  EXPECT_NO_THROW(writer.Finish());
  writer.Post(job);
  EXPECT_ANY_THROW(writer.Finish());
}

}  // namespace
}  // namespace kestrovan
