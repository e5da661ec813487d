#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

// Reads the PE image of the built program from its bytes, without the loader.
namespace {

class PeImage {
 public:
  explicit PeImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  bool Parse() {
    if (bytes_.size() < 0x40 || U16(0) != 0x5A4D) return false;  // "MZ"
    pe_ = U32(0x3C);
    if (U32(pe_) != 0x00004550) return false;  // "PE\0\0"
    const std::uint16_t sections = U16(pe_ + 6);
    const std::uint16_t optionalSize = U16(pe_ + 20);
    optional_ = pe_ + 24;
    const std::size_t table = optional_ + optionalSize;
    for (std::uint16_t i = 0; i < sections; ++i) {
      const std::size_t s = table + i * 40u;
      sections_.push_back({U32(s + 12), std::max(U32(s + 8), U32(s + 16)), U32(s + 20)});
    }
    return true;
  }

  std::uint16_t FileCharacteristics() const { return U16(pe_ + 22); }
  std::uint16_t Magic() const { return U16(optional_); }
  std::uint16_t Subsystem() const { return U16(optional_ + 68); }
  std::uint16_t DllCharacteristics() const { return U16(optional_ + 70); }
  std::uint32_t DirectoryRva(int index) const { return U32(optional_ + 112 + index * 8u); }

  // DLL name (upper case) -> imported function names.
  std::map<std::string, std::set<std::string>> Imports() const {
    std::map<std::string, std::set<std::string>> imports;
    for (std::size_t d = Offset(DirectoryRva(1)); d && U32(d + 12) != 0; d += 20) {
      std::string dll = String(Offset(U32(d + 12)));
      std::transform(dll.begin(), dll.end(), dll.begin(),
                     [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
      std::set<std::string>& functions = imports[dll];
      const std::uint32_t lookup = U32(d) ? U32(d) : U32(d + 16);
      for (std::size_t t = Offset(lookup); t && U64(t) != 0; t += 8) {
        const std::uint64_t entry = U64(t);
        if (!(entry >> 63)) functions.insert(String(Offset(static_cast<std::uint32_t>(entry)) + 2));
      }
    }
    return imports;
  }

 private:
  struct Section {
    std::uint32_t rva, size, file;
  };

  std::size_t Offset(std::uint32_t rva) const {
    for (const Section& s : sections_) {
      if (rva >= s.rva && rva < s.rva + s.size) return rva - s.rva + s.file;
    }
    return 0;
  }
  std::uint64_t Read(std::size_t at, std::size_t size) const {
    std::uint64_t value = 0;
    if (at + size > bytes_.size()) return 0;
    std::memcpy(&value, bytes_.data() + at, size);  // the image and this host are little-endian
    return value;
  }
  std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(Read(at, 2)); }
  std::uint32_t U32(std::size_t at) const { return static_cast<std::uint32_t>(Read(at, 4)); }
  std::uint64_t U64(std::size_t at) const { return Read(at, 8); }
  std::string String(std::size_t at) const {
    std::string text;
    while (at && at < bytes_.size() && bytes_[at]) text += bytes_[at++];
    return text;
  }

  std::vector<char> bytes_;
  std::size_t pe_ = 0, optional_ = 0;
  std::vector<Section> sections_;
};

std::string ExePath() {
  // CMake gives a host path; under Wine the host's root is drive Z:.
  std::string path = V7ER_EXE_PATH;
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') {
    std::replace(path.begin(), path.end(), '/', '\\');
    path = "Z:" + path;
  }
#endif
  return path;
}

TEST(ExecutableImage, IsA64BitGuiProgramWithAslrAndDep) {
  PeImage image(ExePath());
  ASSERT_TRUE(image.Parse()) << ExePath();
  EXPECT_EQ(image.Magic(), 0x20B) << "PE32+ (x86_64)";
  EXPECT_EQ(image.Subsystem(), 2) << "Windows GUI subsystem";
  EXPECT_EQ(image.FileCharacteristics() & 0x0001, 0) << "relocations kept, so ASLR can move it";
  const struct {
    std::uint16_t flag;
    const char* name;
  } flags[] = {{0x0020, "HIGH_ENTROPY_VA"}, {0x0040, "DYNAMIC_BASE"}, {0x0100, "NX_COMPAT"}};
  for (const auto& f : flags) {
    EXPECT_TRUE(image.DllCharacteristics() & f.flag) << f.name;
  }
  EXPECT_NE(image.DirectoryRva(5), 0u) << "a relocation table";
  EXPECT_NE(image.DirectoryRva(2), 0u) << "resources (form, icon, manifest)";
}

TEST(ExecutableImage, ImportsOnlySystemDllsAndRestrictsDllSearch) {
  PeImage image(ExePath());
  ASSERT_TRUE(image.Parse());
  const auto imports = image.Imports();
  ASSERT_FALSE(imports.empty());
  const std::set<std::string> system = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL",
                                        "COMCTL32.DLL", "MSVCRT.DLL", "ADVAPI32.DLL"};
  for (const auto& [dll, functions] : imports) {
    EXPECT_TRUE(system.count(dll)) << dll << " is not a system DLL";
  }
  ASSERT_TRUE(imports.count("KERNEL32.DLL"));
  EXPECT_TRUE(imports.at("KERNEL32.DLL").count("SetDefaultDllDirectories"));
  ASSERT_TRUE(imports.count("USER32.DLL"));
  EXPECT_TRUE(imports.at("USER32.DLL").count("DialogBoxParamW"));
}

}  // namespace
