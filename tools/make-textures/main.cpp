// make-textures OUTDIR: draws the texture images of the bundled arenas and
// writes them as 24-bit uncompressed BMP or as baseline JPEG. The pictures
// are computed from fixed formulas and a hash, so every run writes the same
// pixels.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first
#include <jpeglib.h>

namespace {

struct TColor {
  double Red;
  double Green;
  double Blue;
};

TColor Mix(TColor A, TColor B, double t) {
  return {A.Red + (B.Red - A.Red) * t, A.Green + (B.Green - A.Green) * t, A.Blue + (B.Blue - A.Blue) * t};
}

TColor Scale(TColor C, double Factor) { return {C.Red * Factor, C.Green * Factor, C.Blue * Factor}; }

// A repeatable pseudo-random value in [0, 1) for a pixel and a channel.
double Hash(int x, int y, int Salt) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(Salt) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<double>(h) / 4294967296.0;
}

// Smooth noise of period Cells across a Size-pixel image, so that the image
// tiles without seams.
double TiledNoise(int x, int y, int Size, int Cells, int Salt) {
  const double cell = static_cast<double>(Size) / Cells;
  const double fx = x / cell;
  const double fy = y / cell;
  const int x0 = static_cast<int>(std::floor(fx));
  const int y0 = static_cast<int>(std::floor(fy));
  const double tx = fx - x0;
  const double ty = fy - y0;
  auto corner = [&](int cx, int cy) {
    return Hash(((cx % Cells) + Cells) % Cells, ((cy % Cells) + Cells) % Cells, Salt);
  };
  const double sx = tx * tx * (3 - 2 * tx);
  const double sy = ty * ty * (3 - 2 * ty);
  const double top = corner(x0, y0) + (corner(x0 + 1, y0) - corner(x0, y0)) * sx;
  const double bottom = corner(x0, y0 + 1) + (corner(x0 + 1, y0 + 1) - corner(x0, y0 + 1)) * sx;
  return top + (bottom - top) * sy;
}

std::uint8_t Channel(double Value) {
  const double clamped = Value < 0 ? 0 : (Value > 255 ? 255 : Value);
  return static_cast<std::uint8_t>(std::lround(clamped));
}

// An image as rows of red, green, blue bytes, top row first.
struct TImage {
  int Width;
  int Height;
  std::vector<std::uint8_t> Pixels;

  TImage(int W, int H, const std::function<TColor(int, int)>& Paint)
      : Width(W), Height(H), Pixels(static_cast<std::size_t>(W) * static_cast<std::size_t>(H) * 3) {
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        const TColor c = Paint(x, y);
        std::uint8_t* p =
            &Pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(W) + static_cast<std::size_t>(x)) * 3];
        p[0] = Channel(c.Red);
        p[1] = Channel(c.Green);
        p[2] = Channel(c.Blue);
      }
    }
  }
};

void PutLittleEndian(std::vector<std::uint8_t>& Out, std::uint32_t Value, int Bytes) {
  for (int i = 0; i < Bytes; ++i) {
    Out.push_back(static_cast<std::uint8_t>(Value >> (8 * i)));
  }
}

// BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up rows of blue, green, red
// padded to four bytes.
void WriteBmp(const TImage& Image, const std::filesystem::path& Path) {
  const std::uint32_t rowSize = (static_cast<std::uint32_t>(Image.Width) * 3 + 3) & ~3u;
  const std::uint32_t dataSize = rowSize * static_cast<std::uint32_t>(Image.Height);
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  PutLittleEndian(out, 54 + dataSize, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 54, 4);
  PutLittleEndian(out, 40, 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(Image.Width), 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(Image.Height), 4);
  PutLittleEndian(out, 1, 2);
  PutLittleEndian(out, 24, 2);
  PutLittleEndian(out, 0, 4);  // no compression
  PutLittleEndian(out, dataSize, 4);
  PutLittleEndian(out, 2835, 4);  // 72 dpi
  PutLittleEndian(out, 2835, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 0, 4);
  for (int y = Image.Height - 1; y >= 0; --y) {
    const std::uint8_t* row = &Image.Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Image.Width) * 3];
    for (int x = 0; x < Image.Width; ++x) {
      out.push_back(row[x * 3 + 2]);
      out.push_back(row[x * 3 + 1]);
      out.push_back(row[x * 3 + 0]);
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(Image.Width) * 3; pad < rowSize; ++pad) {
      out.push_back(0);
    }
  }
  std::FILE* file = std::fopen(Path.c_str(), "wb");
  if (file == nullptr || std::fwrite(out.data(), 1, out.size(), file) != out.size() || std::fclose(file) != 0) {
    throw std::runtime_error("cannot write " + Path.string());
  }
}

void WriteJpeg(const TImage& Image, const std::filesystem::path& Path) {
  std::FILE* file = std::fopen(Path.c_str(), "wb");
  if (file == nullptr) {
    throw std::runtime_error("cannot write " + Path.string());
  }
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(Image.Width);
  info.image_height = static_cast<JDIMENSION>(Image.Height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 88, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(
        &Image.Pixels[static_cast<std::size_t>(info.next_scanline) * static_cast<std::size_t>(Image.Width) * 3]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  if (std::fclose(file) != 0) {
    throw std::runtime_error("cannot write " + Path.string());
  }
}

// Light oak boards, four across, with grain and joints; tiles seamlessly.
TColor Parquet(int x, int y) {
  const int board = x / 32;
  const int boardY = (y + board * 41) % 128;
  const TColor oak{196, 156, 104};
  const double grain = 0.5 + 0.5 * std::sin((x % 32) * 0.9 + TiledNoise(x, boardY, 128, 8, 3 + board) * 9.0);
  TColor c = Scale(oak, 0.86 + 0.10 * grain + 0.06 * Hash(board, boardY / 64, 7));
  if (x % 32 == 0 || boardY % 64 == 0) {
    c = Scale(c, 0.62);
  }
  return c;
}

// Blue-grey carpet with fine fibre noise.
TColor Carpet(int x, int y) {
  const double fibre = Hash(x, y, 11);
  const double patch = TiledNoise(x, y, 128, 4, 12);
  return Scale(TColor{86, 100, 128}, 0.80 + 0.15 * fibre + 0.12 * patch);
}

// Off-white plaster.
TColor Plaster(int x, int y) {
  const double n = TiledNoise(x, y, 128, 16, 21) * 0.6 + TiledNoise(x, y, 128, 4, 22) * 0.4;
  return Scale(TColor{232, 226, 212}, 0.90 + 0.10 * n + 0.03 * Hash(x, y, 23));
}

// Cream wallpaper with green stripes and a small diamond pattern.
TColor WallPaper(int x, int y) {
  const TColor cream{238, 228, 200};
  const TColor green{120, 150, 110};
  const int stripe = x % 32;
  if (stripe < 4) {
    return green;
  }
  const int dx = std::abs((x % 32) - 18);
  const int dy = std::abs((y % 32) - 16);
  if (dx + dy < 5) {
    return Mix(cream, green, 0.6);
  }
  return Scale(cream, 0.97 + 0.03 * Hash(x, y, 31));
}

// Dark walnut for tables and shelves.
TColor Walnut(int x, int y) {
  const double rings = std::sin(y * 0.35 + TiledNoise(x, y, 128, 4, 41) * 12.0);
  return Scale(TColor{110, 72, 44}, 0.85 + 0.12 * rings + 0.05 * Hash(x, y, 42));
}

// Woven red upholstery.
TColor Fabric(int x, int y) {
  const bool warp = ((x / 2) + (y / 2)) % 2 == 0;
  return Scale(TColor{150, 40, 45}, (warp ? 1.0 : 0.86) + 0.06 * Hash(x, y, 51));
}

// Can body: red with a white band and a wave.
TColor CanLabel(int x, int y) {
  const TColor red{200, 24, 32};
  const TColor white{245, 245, 245};
  const double wave = 64 + 10 * std::sin(x * 2 * 3.141592653589793 / 64.0);
  if (std::abs(y - wave) < 6) {
    return white;
  }
  return Scale(red, 0.92 + 0.08 * Hash(x, y, 61));
}

// Brushed aluminium for the sloped sections.
TColor Aluminium(int x, int y) {
  const double brush = Hash(0, y, 71) * 0.6 + Hash(x / 8, y, 72) * 0.4;
  return Scale(TColor{192, 194, 198}, 0.88 + 0.12 * brush);
}

// Can top and bottom: aluminium disc with a rim and a tab.
TColor CanTop(int x, int y) {
  const double dx = x - 31.5;
  const double dy = y - 31.5;
  const double r = std::sqrt(dx * dx + dy * dy);
  TColor c = Aluminium(x, y);
  if (r > 27 && r < 31) {
    c = Scale(c, 0.75);
  }
  if (std::abs(dx) < 5 && dy > -14 && dy < 2) {
    c = Scale(c, 1.08);
  }
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-textures OUTDIR\n");
    return 2;
  }
  try {
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    WriteBmp(TImage(128, 128, Parquet), out / "floor.bmp");
    WriteJpeg(TImage(128, 128, Carpet), out / "carpet.jpg");
    WriteJpeg(TImage(128, 128, Plaster), out / "wall.jpg");
    WriteBmp(TImage(128, 128, WallPaper), out / "wallpaper.bmp");
    WriteJpeg(TImage(128, 128, Walnut), out / "wood.jpg");
    WriteBmp(TImage(64, 64, Fabric), out / "fabric.bmp");
    WriteJpeg(TImage(128, 128, CanLabel), out / "can-label.jpg");
    WriteBmp(TImage(64, 64, Aluminium), out / "can-slope.bmp");
    WriteBmp(TImage(64, 64, CanTop), out / "can-top.bmp");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make-textures: %s\n", error.what());
    return 1;
  }
  return 0;
}
