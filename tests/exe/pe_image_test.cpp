#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

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
  std::uint32_t DirectoryRva(int index) const {
    return U32(optional_ + (Is64Bit() ? 112 : 96) + index * 8u);
  }

  bool Is64Bit() const { return Magic() == 0x20B; }

  // DLL name (upper case) -> imported function names.
  std::map<std::string, std::set<std::string>> Imports() const {
    std::map<std::string, std::set<std::string>> imports;
    const std::size_t thunk = Is64Bit() ? 8 : 4;
    const std::uint64_t byOrdinal = Is64Bit() ? 1ull << 63 : 1ull << 31;
    for (std::size_t d = Offset(DirectoryRva(1)); d && U32(d + 12) != 0; d += 20) {
      std::string dll = String(Offset(U32(d + 12)));
      std::transform(dll.begin(), dll.end(), dll.begin(),
                     [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
      std::set<std::string>& functions = imports[dll];
      const std::uint32_t lookup = U32(d) ? U32(d) : U32(d + 16);
      for (std::size_t t = Offset(lookup); t && Read(t, thunk) != 0; t += thunk) {
        const std::uint64_t entry = Read(t, thunk);
        functions.insert(entry & byOrdinal ? "#" + std::to_string(entry & 0xFFFF)
                                           : String(Offset(static_cast<std::uint32_t>(entry)) + 2));
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
  std::string String(std::size_t at) const {
    std::string text;
    while (at && at < bytes_.size() && bytes_[at]) text += bytes_[at++];
    return text;
  }

  std::vector<char> bytes_;
  std::size_t pe_ = 0, optional_ = 0;
  std::vector<Section> sections_;
};

// CMake gives host paths; under Wine the host's root is drive Z:.
std::string HostPath(std::string path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') {
    std::replace(path.begin(), path.end(), '/', '\\');
    path = "Z:" + path;
  }
#endif
  return path;
}

std::string ExePath() {
  return HostPath(V7ER_EXE_PATH);
}

// "DLL function" lines: what Windows 7 SP1 without later updates exports, as far
// as these programs import it. A new import fails the test until it is checked
// and added.
std::map<std::string, std::set<std::string>> Windows7Exports() {
  std::map<std::string, std::set<std::string>> exports;
  std::ifstream in(HostPath(V7ER_WINDOWS7_EXPORTS));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    std::string dll = line.substr(0, space);
    std::transform(dll.begin(), dll.end(), dll.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    exports[dll].insert(line.substr(space + 1));
  }
  return exports;
}

TEST(ExecutableImage, IsAGuiProgramWithAslrAndDep) {
  PeImage image(ExePath());
  ASSERT_TRUE(image.Parse()) << ExePath();
  // The image is built for the same processor as this test.
  EXPECT_EQ(image.Is64Bit(), sizeof(void*) == 8) << "magic " << image.Magic();
  EXPECT_EQ(image.Subsystem(), 2) << "Windows GUI subsystem";
  EXPECT_EQ(image.FileCharacteristics() & 0x0001, 0) << "relocations kept, so ASLR can move it";
  if (!image.Is64Bit()) {
    EXPECT_TRUE(image.FileCharacteristics() & 0x0020) << "LARGE_ADDRESS_AWARE";
  }
  const struct {
    std::uint16_t flag;
    const char* name;
    bool wanted;
  } flags[] = {{0x0020, "HIGH_ENTROPY_VA", image.Is64Bit()},
               {0x0040, "DYNAMIC_BASE", true},
               {0x0100, "NX_COMPAT", true}};
  for (const auto& f : flags) {
    EXPECT_EQ((image.DllCharacteristics() & f.flag) != 0, f.wanted) << f.name;
  }
  EXPECT_NE(image.DirectoryRva(5), 0u) << "a relocation table";
  EXPECT_NE(image.DirectoryRva(2), 0u) << "resources (form, icon, manifest)";
  // The header's time stamp is 0, so that every build of a commit gives the same bytes; Windows
  // reads it only for bound imports and debugging symbols, and the image has neither.
  EXPECT_EQ(image.DirectoryRva(11) | image.DirectoryRva(6), 0u) << "bound imports or debug data";
  // Room for what comes next: the image as shipped (Release, stripped).
  std::ifstream file(ExePath(), std::ios::binary | std::ios::ate);
  EXPECT_LE(static_cast<long long>(file.tellg()), 200 * 1024) << "bytes";
}

// The project's version, in the version resource and in the manifest, the
// manifest naming the build's own processor and its DPI awareness, and an icon
// image for every size Windows asks for.
TEST(ExecutableImage, ManifestVersionAndIcon) {
  const std::string exe = ExePath();
  const HMODULE module = LoadLibraryExA(exe.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(module) << exe;
  const auto resource = [&](LPCSTR type, int id) {
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    const void* data = found ? LockResource(LoadResource(module, found)) : nullptr;
    return data ? std::string(static_cast<const char*>(data), SizeofResource(module, found))
                : std::string();
  };
  const std::string manifest = resource(MAKEINTRESOURCEA(24), 1);  // RT_MANIFEST
  const std::string version = resource(MAKEINTRESOURCEA(16), 1);   // RT_VERSION
  const std::string icons = resource(MAKEINTRESOURCEA(14), 128);   // RT_GROUP_ICON
  FreeLibrary(module);

  // Three WORDs, then 14 bytes an image, its width first (0 for 256).
  std::vector<int> sizes;
  for (std::size_t at = 6; at + 14 <= icons.size(); at += 14) {
    const auto width = static_cast<unsigned char>(icons[at]);
    sizes.push_back(width ? width : 256);
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));

  const std::string quad = V7ER_VERSION ".0";
  const std::string architecture = sizeof(void*) == 8 ? "amd64" : "x86";
  EXPECT_NE(manifest.find("name=\"V7ER\" type=\"win32\" version=\"" + quad + "\""),
            std::string::npos)
      << manifest;
  EXPECT_NE(manifest.find("processorArchitecture=\"" + architecture + "\"/>"), std::string::npos)
      << manifest;
  // Sharp on every Windows 10: 1607 knows PerMonitor but not PerMonitorV2, and
  // Windows before 10 reads only dpiAware.
  EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos)
      << manifest;
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos) << manifest;
  // VS_FIXEDFILEINFO follows its signature: the file version as two DWORDs.
  const std::size_t fixed = version.find(std::string("\xbd\x04\xef\xfe", 4));
  ASSERT_NE(fixed, std::string::npos);
  std::uint32_t ms = 0, ls = 0;
  std::memcpy(&ms, version.data() + fixed + 8, 4);
  std::memcpy(&ls, version.data() + fixed + 12, 4);
  EXPECT_EQ(std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
                std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF),
            quad);
}

TEST(ExecutableImage, ImportsOnlyWhatWindows7Sp1Exports) {
  PeImage image(ExePath());
  ASSERT_TRUE(image.Parse());
  const auto imports = image.Imports();
  const auto windows7 = Windows7Exports();
  ASSERT_FALSE(imports.empty());
  ASSERT_FALSE(windows7.empty()) << "cannot read " << V7ER_WINDOWS7_EXPORTS;
  for (const auto& [dll, functions] : imports) {
    EXPECT_FALSE(dll.starts_with("API-MS-WIN-"))
        << dll << ": the Universal CRT is not on Windows 7";
    const auto known = windows7.find(dll);
    if (known == windows7.end()) {
      ADD_FAILURE() << dll << " is not a Windows 7 system DLL of the list";
      continue;
    }
    for (const std::string& function : functions) {
      EXPECT_TRUE(known->second.count(function)) << dll << " " << function << " is not in the list";
    }
  }
  // Looked up at run time instead: Windows 7 SP1 as shipped lacks it.
  ASSERT_TRUE(imports.count("KERNEL32.DLL"));
  EXPECT_FALSE(imports.at("KERNEL32.DLL").count("SetDefaultDllDirectories"));
  EXPECT_TRUE(imports.at("KERNEL32.DLL").count("SetDllDirectoryW"));
  ASSERT_TRUE(imports.count("USER32.DLL"));
  EXPECT_TRUE(imports.at("USER32.DLL").count("DialogBoxIndirectParamW"));
  // Heavy to load: looked up when a command first needs them.
  EXPECT_FALSE(imports.count("COMDLG32.DLL") || imports.count("SHELL32.DLL"));
}

}  // namespace
