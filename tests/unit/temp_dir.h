#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return (path_ / name).wstring(); }
  std::vector<std::string> Names() const;  // entries, sorted

 private:
  std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
