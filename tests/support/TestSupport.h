#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kestrovan::test {

// The repository's top folder (arenas/, docs/ ...).
std::filesystem::path SourceDir();

// A fresh, empty folder under the system's temporary folder, removed by the
// destructor.
class TTemporaryFolder {
 public:
  TTemporaryFolder();
  ~TTemporaryFolder();
  TTemporaryFolder(const TTemporaryFolder&) = delete;
  TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes Content byte for byte into Name inside the folder; returns its path.
  std::filesystem::path Write(const std::string& Name, std::string_view Content) const;

 private:
  std::filesystem::path path_;
};

// The whole content of a file, byte for byte.
std::string ReadFile(const std::filesystem::path& Path);

}  // namespace kestrovan::test
