#include "view3d/TextureImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include <QImage>

#include "support/TestSupport.h"

namespace kestrovan::test {
namespace {

using testing::HasSubstr;

// A 2 by 2 image: red and green on the top row, blue and white below.
QImage FourColours() {
  QImage image(2, 2, QImage::Format_RGB32);
  image.setPixelColor(0, 0, Qt::red);
  image.setPixelColor(1, 0, Qt::green);
  image.setPixelColor(0, 1, Qt::blue);
  image.setPixelColor(1, 1, Qt::white);
  return image;
}

// The red, green and blue bytes of pixel (x, y), y counted from the bottom.
std::vector<int> PixelOf(const TTextureImage& Image, int x, int y) {
  const std::size_t at = 4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(Image.Width) + static_cast<std::size_t>(x));
  return {Image.Pixels[at], Image.Pixels[at + 1], Image.Pixels[at + 2], Image.Pixels[at + 3]};
}

TEST(LoadTextureImage, ReadsABitmapBottomRowFirst) {
  TTemporaryFolder folder;
  const auto file = folder.Path() / "four.BMP";
  ASSERT_TRUE(FourColours().save(QString::fromStdString(file.string()), "BMP"));
  const TTextureImage image = LoadTextureImage(file);
  ASSERT_EQ(image.Width, 2);
  ASSERT_EQ(image.Height, 2);
  EXPECT_EQ(PixelOf(image, 0, 0), (std::vector<int>{0, 0, 255, 255}));
  EXPECT_EQ(PixelOf(image, 1, 0), (std::vector<int>{255, 255, 255, 255}));
  EXPECT_EQ(PixelOf(image, 0, 1), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(PixelOf(image, 1, 1), (std::vector<int>{0, 255, 0, 255}));
}

TEST(LoadTextureImage, ReadsAJpegBottomRowFirst) {
  TTemporaryFolder folder;
  const auto file = folder.Path() / "four.jpeg";
  // large blocks of colour, so that compression keeps them recognisable
  ASSERT_TRUE(FourColours().scaled(32, 32).save(QString::fromStdString(file.string()), "JPG", 95));
  const TTextureImage image = LoadTextureImage(file);
  ASSERT_EQ(image.Width, 32);
  ASSERT_EQ(image.Height, 32);
  const auto bottomLeft = PixelOf(image, 4, 4);
  const auto topRight = PixelOf(image, 28, 28);
  EXPECT_LT(bottomLeft[0], 40);
  EXPECT_GT(bottomLeft[2], 215);
  EXPECT_LT(topRight[0], 40);
  EXPECT_GT(topRight[1], 215);
  EXPECT_EQ(topRight[3], 255);
}

TEST(LoadTextureImage, NamesTheFileItCannotRead) {
  TTemporaryFolder folder;
  const auto notJpeg = folder.Write("broken.jpg", "not an image at all");
  const auto notBitmap = folder.Write("broken.bmp", "BM but nothing else");
  const auto png = folder.Write("picture.png", "");
  for (const auto& file : {notJpeg, notBitmap, png, folder.Path() / "missing.jpg"}) {
    try {
      LoadTextureImage(file);
      ADD_FAILURE() << file << " was read";
    } catch (const std::runtime_error& error) {
      EXPECT_THAT(error.what(), HasSubstr(file.string()));
    }
  }
}

TEST(TTextureLibrary, LooksInTheArenaFolderFirstThenTheCurrentFolder) {
  TTemporaryFolder arenaFolder;
  TTemporaryFolder currentFolder;
  FourColours().save(QString::fromStdString((arenaFolder.Path() / "both.bmp").string()), "BMP");
  FourColours().scaled(4, 4).save(QString::fromStdString((currentFolder.Path() / "both.bmp").string()), "BMP");
  FourColours().scaled(8, 8).save(QString::fromStdString((currentFolder.Path() / "here.bmp").string()), "BMP");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(currentFolder.Path());
  TTextureLibrary library;
  std::ostringstream errors;
  library.ErrorStream = &errors;
  const auto both = library.Load("both.bmp", arenaFolder.Path());
  const auto here = library.Load("here.bmp", arenaFolder.Path());
  std::filesystem::current_path(previous);
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both->Width, 2);
  ASSERT_NE(here, nullptr);
  EXPECT_EQ(here->Width, 8);
  EXPECT_EQ(errors.str(), "");
  // each file is read once
  EXPECT_EQ(library.Load("both.bmp", arenaFolder.Path()), both);
}

TEST(TTextureLibrary, ReportsAnUnreadableTextureOnceOnOneLine) {
  TTemporaryFolder folder;
  folder.Write("bad.jpg", "garbage");
  TTextureLibrary library;
  std::ostringstream errors;
  library.ErrorStream = &errors;
  EXPECT_EQ(library.Load("bad.jpg", folder.Path()), nullptr);
  EXPECT_EQ(library.Load("bad.jpg", folder.Path()), nullptr);
  EXPECT_EQ(library.Load("nowhere.bmp", folder.Path()), nullptr);
  const std::string text = errors.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  EXPECT_THAT(text, HasSubstr("\"bad.jpg\""));
  EXPECT_THAT(text, HasSubstr("\"nowhere.bmp\""));
  EXPECT_THAT(text, HasSubstr(folder.Path().string()));
}

}  // namespace
}  // namespace kestrovan::test
