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

// The bytes of File with the 16-bit big-endian value at Offset replaced.
std::string WithBigEndian16(const std::string& Bytes, std::size_t Offset, int Value) {
  std::string changed = Bytes;
  changed[Offset] = static_cast<char>((Value >> 8) & 0xff);
  changed[Offset + 1] = static_cast<char>(Value & 0xff);
  return changed;
}

TEST(DecodeTextureImage, RefusesImagesAboveThePixelBoundBeforeDecodingThem) {
  TTemporaryFolder folder;
  Save(FourColours(16), folder.Path() / "small.jpg", "JPG");
  Save(FourColours(16), folder.Path() / "small.bmp", "BMP");
  const std::string jpeg = ReadFile(folder.Path() / "small.jpg");
  const std::string bitmap = ReadFile(folder.Path() / "small.bmp");
  ASSERT_EQ(DecodeTextureImage(jpeg, ".JPG", "small").Width, 16);
  ASSERT_EQ(DecodeTextureImage(bitmap, ".bmp", "small").Height, 16);

  // a JPEG whose frame header claims 60000 x 60000 pixels: height and width
  // follow the marker, its length and the sample precision
  const std::size_t frame = jpeg.find("\xff\xc0");
  ASSERT_NE(frame, std::string::npos);
  const std::string hugeJpeg = WithBigEndian16(WithBigEndian16(jpeg, frame + 5, 60000), frame + 7, 60000);
  EXPECT_THAT([&] { DecodeTextureImage(hugeJpeg, ".jpg", "huge.jpg"); },
              testing::ThrowsMessage<std::runtime_error>(
                  HasSubstr("huge.jpg is not a readable JPEG file: 60000 x 60000 pixels: a texture may have at most "
                            "4194304 pixels and 8192 on a side")));

  // a bitmap whose header claims 5000 x 4000 pixels (width at byte 18, height at 22, little-endian)
  std::string hugeBitmap = bitmap;
  hugeBitmap.replace(18, 8, std::string("\x88\x13\x00\x00\xa0\x0f\x00\x00", 8));
  EXPECT_THAT([&] { DecodeTextureImage(hugeBitmap, ".bmp", "huge.bmp"); },
              testing::ThrowsMessage<std::runtime_error>(
                  HasSubstr("huge.bmp is not a usable Windows bitmap file: 5000 x "
                            "4000 pixels: a texture may have at most 4194304 pixels and 8192 on a side")));

  // few pixels on a side too long: 9000 x 1
  std::string longBitmap = bitmap;
  longBitmap.replace(18, 8, std::string("\x28\x23\x00\x00\x01\x00\x00\x00", 8));
  EXPECT_THAT([&] { DecodeTextureImage(longBitmap, ".bmp", "long.bmp"); },
              testing::ThrowsMessage<std::runtime_error>(
                  HasSubstr("long.bmp is not a usable Windows bitmap file: 9000 x 1 pixels")));

  // rows top first (a negative height) count as many: 4 x 4194306 is above the bound
  // (a 16-bit bitmap 4 pixels wide whose header gives the height -4194306)
  const unsigned char tall[] = {
      0x42, 0x4d, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00,
      0x04, 0x00, 0x00, 0x00, 0xfe, 0xff, 0xbf, 0xff, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
      0x00, 0x00, 0x13, 0x0b, 0x00, 0x00, 0x13, 0x0b, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x1f, 0x00, 0xe0, 0x03, 0x00, 0x7c, 0xff, 0x7f, 0x1f, 0x00, 0xe0, 0x03, 0x00, 0x7c, 0xff, 0x7f,
  };
  const std::string topDown(reinterpret_cast<const char*>(tall), sizeof tall);
  EXPECT_THAT([&] { DecodeTextureImage(topDown, ".bmp", "tall.bmp"); },
              testing::ThrowsMessage<std::runtime_error>(
                  HasSubstr("4 x 4194306 pixels: a texture may have at most 4194304 pixels and 8192 on a side")));

  // what is no file of pixels is refused by name, never waited on
  EXPECT_THAT([&] { LoadTextureImage(folder.Path() / "folder.bmp"); },
              testing::ThrowsMessage<std::runtime_error>(HasSubstr("folder.bmp: No such file")));
  std::filesystem::create_directory(folder.Path() / "folder.bmp");
  EXPECT_THAT([&] { LoadTextureImage(folder.Path() / "folder.bmp"); },
              testing::ThrowsMessage<std::runtime_error>(HasSubstr("folder.bmp is not a regular file")));
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
