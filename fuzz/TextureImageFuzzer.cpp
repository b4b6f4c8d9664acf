// libFuzzer target: the texture readers (Windows bitmap through QImage, JPEG
// through libjpeg) on any bytes, each input decoded as both.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "view3d/TextureImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
  for (const char* extension : {".bmp", ".jpg"}) {
    try {
      const kestrovan::TTextureImage image = kestrovan::DecodeTextureImage(bytes, extension, "fuzz-texture");
      // a decoded image has pixels, within the bound, four bytes each
      const auto pixels = static_cast<std::int64_t>(image.Width) * image.Height;
      if (image.Width <= 0 || image.Height <= 0 || pixels > kestrovan::kMaximumTexturePixels ||
          image.Pixels.size() != static_cast<std::size_t>(pixels) * 4) {
        __builtin_trap();
      }
    } catch (const std::runtime_error& error) {
      // a refused image must say which
      if (std::string_view(error.what()).find("fuzz-texture") == std::string_view::npos) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
