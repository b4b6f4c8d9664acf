#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <sstream>

#include "support/TestSupport.h"
#include "view3d/TextureImage.h"

namespace kestrovan::test {
namespace {

using testing::HasSubstr;

// Blocks of red and green on top, blue and white below, Size pixels square.
QImage FourColours(int Size) {
  QImage image(2, 2, QImage::Format_RGB32);
  image.setPixelColor(0, 0, Qt::red);
  image.setPixelColor(1, 0, Qt::green);
  image.setPixelColor(0, 1, Qt::blue);
  image.setPixelColor(1, 1, Qt::white);
  return image.scaled(Size, Size);
}

void Save(const QImage& Image, const std::filesystem::path& File, const char* Format) {
  ASSERT_TRUE(Image.save(QString::fromStdString(File.string()), Format, 95)) << File;
}

// Red, green, blue and alpha of pixel (x, y), y counted from the bottom.
std::vector<int> PixelOf(const TTextureImage& Image, int x, int y) {
  const auto at = static_cast<std::size_t>(4 * (y * Image.Width + x));
  return {Image.Pixels[at], Image.Pixels[at + 1], Image.Pixels[at + 2], Image.Pixels[at + 3]};
}

TEST(LoadTextureImage, ReadsBitmapsAndJpegsBottomRowFirst) {
  TTemporaryFolder folder;
  Save(FourColours(2), folder.Path() / "four.BMP", "BMP");
  const TTextureImage bitmap = LoadTextureImage(folder.Path() / "four.BMP");
  ASSERT_EQ(bitmap.Width, 2);
  ASSERT_EQ(bitmap.Height, 2);
  EXPECT_EQ(PixelOf(bitmap, 0, 0), (std::vector<int>{0, 0, 255, 255}));
  EXPECT_EQ(PixelOf(bitmap, 1, 1), (std::vector<int>{0, 255, 0, 255}));

  // JPEG is lossy: large blocks, loose limits
  Save(FourColours(32), folder.Path() / "four.jpeg", "JPG");
  const TTextureImage jpeg = LoadTextureImage(folder.Path() / "four.jpeg");
  ASSERT_EQ(jpeg.Width, 32);
  const auto bottomLeft = PixelOf(jpeg, 4, 4);
  const auto topRight = PixelOf(jpeg, 28, 28);
  EXPECT_LT(bottomLeft[0], 40);
  EXPECT_GT(bottomLeft[2], 215);
  EXPECT_GT(topRight[1], 215);
  EXPECT_EQ(topRight[3], 255);
}

TEST(LoadTextureImage, NamesTheFileItCannotRead) {
  TTemporaryFolder folder;
  for (const auto& file : {folder.Write("broken.jpg", "not an image"), folder.Write("broken.bmp", "BM"),
                           folder.Write("picture.png", ""), folder.Path() / "missing.jpg"}) {
    try {
      LoadTextureImage(file);
      ADD_FAILURE() << file << " was read";
    } catch (const std::runtime_error& error) {
      EXPECT_THAT(error.what(), HasSubstr(file.string()));
    }
  }
}

TEST(TTextureLibrary, LooksInTheArenaFolderThenTheCurrentFolderAndReportsFailuresOnce) {
  TTemporaryFolder arenaFolder;
  TTemporaryFolder currentFolder;
  Save(FourColours(2), arenaFolder.Path() / "both.bmp", "BMP");
  Save(FourColours(4), currentFolder.Path() / "both.bmp", "BMP");
  Save(FourColours(8), currentFolder.Path() / "here.bmp", "BMP");
  arenaFolder.Write("bad.jpg", "garbage");
  TTextureLibrary library;
  std::ostringstream errors;
  library.ErrorStream = &errors;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(currentFolder.Path());
  const auto both = library.Load("both.bmp", arenaFolder.Path());
  const auto here = library.Load("here.bmp", arenaFolder.Path());
  const auto bad = library.Load("bad.jpg", arenaFolder.Path());
  const auto badAgain = library.Load("bad.jpg", arenaFolder.Path());
  const auto nowhere = library.Load("nowhere.bmp", arenaFolder.Path());
  std::filesystem::current_path(previous);
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both->Width, 2);
  ASSERT_NE(here, nullptr);
  EXPECT_EQ(here->Width, 8);
  EXPECT_EQ(library.Load("both.bmp", arenaFolder.Path()), both);  // read once
  EXPECT_EQ(bad, nullptr);
  EXPECT_EQ(badAgain, nullptr);
  EXPECT_EQ(nowhere, nullptr);
  // one line per unusable file, naming it
  const std::string text = errors.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
  EXPECT_THAT(text, HasSubstr("\"bad.jpg\""));
  EXPECT_THAT(text, HasSubstr("\"nowhere.bmp\""));
}

}  // namespace
}  // namespace kestrovan::test
