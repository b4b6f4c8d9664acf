#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrovan {

// A decoded texture: Width by Height pixels of red, green, blue, alpha
// bytes, bottom row first (the order OpenGL takes them in).
struct TTextureImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;  // 4 * Width * Height bytes
};

// The most pixels a texture may have (2048 by 2048), and its longest side:
// larger images are refused before their pixels are decoded.
constexpr std::int64_t kMaximumTexturePixels = std::int64_t{1} << 22;
constexpr std::int64_t kMaximumTextureSide = 8192;
// The largest texture file read (64 MB).
constexpr std::uintmax_t kMaximumTextureBytes = std::uintmax_t{64} << 20;

// Reads a Windows bitmap (.bmp) or JPEG (.jpg, .jpeg) file, chosen by the
// extension of its name. Throws std::runtime_error naming the file and the
// reason when it cannot.
TTextureImage LoadTextureImage(const std::filesystem::path& File);

// Decodes the bytes of a Windows bitmap or JPEG file, chosen by Extension
// (".bmp", ".jpg" or ".jpeg", any case). Throws std::runtime_error naming
// Name and the reason when it cannot.
TTextureImage DecodeTextureImage(std::string_view Bytes, const std::string& Extension, const std::string& Name);

// The texture images of a scene, each file read once. An image that cannot
// be read is reported once, as one line on ErrorStream, and is not used:
// the parts that name it keep their plain colour.
class TTextureLibrary {
 public:
  TTextureLibrary();

  // The image named Name: an absolute name as it is; otherwise looked for
  // in Folder first, then in the current folder. nullptr when it cannot be
  // found or read.
  std::shared_ptr<const TTextureImage> Load(const std::string& Name, const std::filesystem::path& Folder);

  std::ostream* ErrorStream;  // standard error unless replaced

 private:
  std::map<std::string, std::shared_ptr<const TTextureImage>> images_;  // by name and folder; nullptr: unreadable
};

}  // namespace kestrovan
