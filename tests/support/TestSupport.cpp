#include "support/TestSupport.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace kestrovan::test {

std::filesystem::path SourceDir() { return std::filesystem::path(KESTROVAN_SOURCE_DIR); }

TTemporaryFolder::TTemporaryFolder() {
  static std::atomic<int> counter{0};
  std::random_device device;
  const std::string name =
      "kestrovan-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" + std::to_string(device());
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(path_);
}

TTemporaryFolder::~TTemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TTemporaryFolder::Write(const std::string& Name, std::string_view Content) const {
  const std::filesystem::path file = path_ / Name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(Content.data(), static_cast<std::streamsize>(Content.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + file.string());
  }
  return file;
}

std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + Path.string());
  }
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace kestrovan::test
