#include "view3d/TextureImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

// jpeglib.h needs size_t and FILE declared first
#include <jpeglib.h>

namespace kestrovan {

namespace {

// libjpeg reports errors through this handler; it jumps back to the decoder
// with the message instead of ending the process.
struct TJpegErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf JumpBuffer;
  char Message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr Info) {
  auto* manager = reinterpret_cast<TJpegErrorManager*>(Info->err);
  (*Info->err->format_message)(Info, manager->Message);
  std::longjmp(manager->JumpBuffer, 1);
}

void JpegOutputMessage(j_common_ptr) {}  // warnings: corrupt but decodable data is still shown

// "W x H pixels: a texture may have at most ..." when Width by Height is too
// large; empty otherwise. A header may give a negative height (rows top
// first): its size counts.
std::string TooLarge(std::int64_t Width, std::int64_t Height) {
  Width = Width < 0 ? -Width : Width;
  Height = Height < 0 ? -Height : Height;
  if (Width <= kMaximumTextureSide && Height <= kMaximumTextureSide && Width * Height <= kMaximumTexturePixels) {
    return {};
  }
  return std::to_string(Width) + " x " + std::to_string(Height) + " pixels: a texture may have at most " +
         std::to_string(kMaximumTexturePixels) + " pixels and " + std::to_string(kMaximumTextureSide) + " on a side";
}

// Decodes the JPEG stream in Data into RGB rows, top row first. No object
// with a destructor lives in this frame, so the jump back from the error
// handler skips nothing. Returns false with Message set on failure.
bool DecodeJpeg(const std::uint8_t* Data, std::size_t Size, std::vector<std::uint8_t>& Rgb, int& Width, int& Height,
                char* Message) {
  jpeg_decompress_struct info;
  TJpegErrorManager errors;
  info.err = jpeg_std_error(&errors.Base);
  errors.Base.error_exit = JpegErrorExit;
  errors.Base.output_message = JpegOutputMessage;
  errors.Message[0] = '\0';
  if (setjmp(errors.JumpBuffer) != 0) {
    std::strcpy(Message, errors.Message);
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, Data, static_cast<unsigned long>(Size));
  jpeg_read_header(&info, TRUE);
  if (const std::string tooLarge = TooLarge(info.image_width, info.image_height); !tooLarge.empty()) {
    std::snprintf(Message, JMSG_LENGTH_MAX, "%s", tooLarge.c_str());
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  Width = static_cast<int>(info.output_width);
  Height = static_cast<int>(info.output_height);
  Rgb.resize(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height) * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = Rgb.data() + static_cast<std::size_t>(info.output_scanline) * static_cast<std::size_t>(Width) * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

TTextureImage DecodeJpeg(std::string_view Bytes, const std::string& Name) {
  std::vector<std::uint8_t> rgb;
  int width = 0;
  int height = 0;
  char message[JMSG_LENGTH_MAX] = {};
  if (!DecodeJpeg(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size(), rgb, width, height, message)) {
    throw std::runtime_error(Name + " is not a readable JPEG file: " + message);
  }
  // RGB rows, top first, to RGBA rows, bottom first
  TTextureImage image;
  image.Width = width;
  image.Height = height;
  image.Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* source =
        rgb.data() + static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) * 3;
    std::uint8_t* target = image.Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
    for (int x = 0; x < width; ++x) {
      target[4 * x + 0] = source[3 * x + 0];
      target[4 * x + 1] = source[3 * x + 1];
      target[4 * x + 2] = source[3 * x + 2];
      target[4 * x + 3] = 255;
    }
  }
  return image;
}

TTextureImage DecodeBitmap(std::string_view Bytes, const std::string& Name) {
  QByteArray data = QByteArray::fromRawData(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "BMP");
  reader.setDecideFormatFromContent(false);
  const QSize size = reader.size();
  if (const std::string tooLarge = TooLarge(size.width(), size.height()); !tooLarge.empty()) {
    throw std::runtime_error(Name + " is not a usable Windows bitmap file: " + tooLarge);
  }
  QImage source;
  if (!reader.read(&source)) {
    throw std::runtime_error(Name + " is not a readable Windows bitmap file");
  }
  // the header's size may not be the decoded one
  if (const std::string tooLarge = TooLarge(source.width(), source.height()); !tooLarge.empty()) {
    throw std::runtime_error(Name + " is not a usable Windows bitmap file: " + tooLarge);
  }
  const QImage rgba = source.convertToFormat(QImage::Format_RGBA8888);
  TTextureImage image;
  image.Width = rgba.width();
  image.Height = rgba.height();
  const std::size_t rowBytes = static_cast<std::size_t>(image.Width) * 4;
  image.Pixels.resize(rowBytes * static_cast<std::size_t>(image.Height));
  for (int y = 0; y < image.Height; ++y) {
    std::memcpy(image.Pixels.data() + static_cast<std::size_t>(y) * rowBytes, rgba.constScanLine(image.Height - 1 - y),
                rowBytes);
  }
  return image;
}

std::string LowerCase(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return Text;
}

}  // namespace

TTextureImage DecodeTextureImage(std::string_view Bytes, const std::string& Extension, const std::string& Name) {
  const std::string extension = LowerCase(Extension);
  TTextureImage image;
  if (extension == ".bmp") {
    image = DecodeBitmap(Bytes, Name);
  } else if (extension == ".jpg" || extension == ".jpeg") {
    image = DecodeJpeg(Bytes, Name);
  } else {
    throw std::runtime_error(Name + ": not a Windows bitmap (.bmp) or JPEG (.jpg, .jpeg) file");
  }
  if (image.Width <= 0 || image.Height <= 0) {
    throw std::runtime_error(Name + " holds no pixels");
  }
  return image;
}

TTextureImage LoadTextureImage(const std::filesystem::path& File) {
  const std::string extension = File.extension().string();
  const std::string name = File.string();
  if (const std::string lower = LowerCase(extension); lower != ".bmp" && lower != ".jpg" && lower != ".jpeg") {
    throw std::runtime_error(name + ": not a Windows bitmap (.bmp) or JPEG (.jpg, .jpeg) file");
  }
  // the whole file at once, then decoded from memory
  std::error_code error;
  const auto status = std::filesystem::status(File, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    throw std::runtime_error(name + " is not a regular file");
  }
  if (std::filesystem::is_regular_file(status) && std::filesystem::file_size(File, error) > kMaximumTextureBytes) {
    throw std::runtime_error(name + " is larger than " + std::to_string(kMaximumTextureBytes >> 20) +
                             " MB, more than a texture may have");
  }
  std::ifstream stream(File, std::ios::binary);
  if (!stream) {
    throw std::runtime_error("cannot open " + name + ": " + std::strerror(errno));
  }
  const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  if (stream.bad()) {
    throw std::runtime_error("cannot read " + name + ": " + std::strerror(errno));
  }
  return DecodeTextureImage(bytes, extension, name);
}

TTextureLibrary::TTextureLibrary() : ErrorStream(&std::cerr) {}

std::shared_ptr<const TTextureImage> TTextureLibrary::Load(const std::string& Name,
                                                           const std::filesystem::path& Folder) {
  const std::string key = Folder.string() + '\n' + Name;
  if (const auto known = images_.find(key); known != images_.end()) {
    return known->second;
  }
  std::shared_ptr<const TTextureImage> image;
  try {
    // the arena's folder first, then the current folder
    const std::filesystem::path name(Name);
    std::filesystem::path file;
    if (name.is_absolute() || Folder.empty()) {
      file = name;
    } else if (std::filesystem::exists(Folder / name)) {
      file = Folder / name;
    } else {
      file = name;
    }
    if (!std::filesystem::exists(file)) {
      throw std::runtime_error(Folder.empty() || name.is_absolute()
                                   ? "not found"
                                   : "not found in " + Folder.string() + " or the current folder");
    }
    image = std::make_shared<const TTextureImage>(LoadTextureImage(file));
  } catch (const std::exception& error) {
    if (ErrorStream != nullptr) {
      *ErrorStream << "Texture \"" << Name << "\" cannot be used (" << error.what() << "); drawn in its plain colour."
                   << std::endl;
    }
  }
  images_.emplace(key, image);
  return image;
}

}  // namespace kestrovan
