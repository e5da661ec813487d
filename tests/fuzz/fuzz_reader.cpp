// Any bytes as printer.ini: read over the defaults, saved, read and saved again.

#include <dirent.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hardware_params.h"
#include "locale_text.h"
#include "settings_file.h"

namespace {

// The keys in the order the writer puts them.
constexpr std::string_view kKeys[] = {
    "fAreaX",
    "fAreaY",
    "fAreaZ",
    "fStepX",
    "fStepY",
    "fStepZ",
    "nSpeedScale",
    "nSpeedBase",
    "nResetMode",
    "strResetOrder",
    "nPrintMode",
    "dFlipAngle",
    "bClearRotateReturn",
    "bResetRotate",
    "fSwivelModulus",
    "bInitReset",
    "bFirstPrnReset",
    "nDelayCharSp",
};

using P = HardwareParams;
constexpr double P::*kDoubles[] = {&P::fAreaX, &P::fAreaY, &P::fAreaZ,     &P::fStepX,
                                   &P::fStepY, &P::fStepZ, &P::dFlipAngle, &P::fSwivelModulus};

// The reader takes the file 64 KiB at a time.
constexpr std::size_t kReadChunk = 64 * 1024;

// One directory for the whole run. Every save forces its file to disk, so a RAM
// disk, where there is one, keeps the fuzzer fast.
class WorkDir {
 public:
  WorkDir() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::filesystem::path base = tmpdir && *tmpdir ? std::filesystem::path(tmpdir)
                                 : std::filesystem::is_directory("/dev/shm")
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    std::string name = (base / "v7er-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(name.data()) != nullptr);
    path_ = name;
    file_ = path_ / "printer.ini";
  }
  ~WorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path file_;
};

const WorkDir& Work() {
  static const WorkDir work;
  return work;
}

void WriteFile(const std::string& bytes) {
  std::ofstream out(Work().file(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

std::string ReadFile(const std::filesystem::path& file = Work().file()) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

HardwareParams Load(const HardwareParams& base) {
  HardwareParams params = base;
  LoadSettingsFrom(Work().file().wstring(), params);
  return params;
}

std::string Save(const HardwareParams& params) {
  FUZZ_CHECK(SaveSettingsTo(Work().file().wstring(), params).saved);
  return ReadFile();
}

// A save leaves nothing behind but the file itself and, byte for byte, the
// file it replaced.
bool OnlyTheSettingsFileAndItsBackup(const std::string& replaced) {
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Work().path())) {
    ++entries;
    const auto name = entry.path().filename();
    if (name != "printer.ini" && name != "printer.ini.bak") return false;
  }
  return entries == 2 && ReadFile(Work().file().string() + ".bak") == replaced;
}

// Eighteen lines, each "key = value" ending in CR LF, keys in the writer's order.
bool HasTheWritersShape(std::string_view text) {
  for (const std::string_view key : kKeys) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos || end == 0 || text[end - 1] != '\r') return false;
    const std::string_view line = text.substr(0, end);
    if (!line.starts_with(key) || !line.substr(key.size()).starts_with(" = ")) return false;
    text.remove_prefix(end + 1);
  }
  return text.empty();
}

// Every field differs from its default.
HardwareParams Scrambled() {
  HardwareParams p;
  p.fAreaX = -1.5, p.fAreaY = -2.5, p.fAreaZ = -3.5;
  p.fStepX = -4.5, p.fStepY = -5.5, p.fStepZ = -6.5;
  p.nSpeedScale = -7, p.nSpeedBase = -8, p.strResetOrder = L"scrambled";
  p.bReleaseLimitAfterReset = 1, p.nPrintMode = -9, p.dFlipAngle = -10.5;
  p.bClearRotateReturn = 0, p.bResetRotate = 1, p.fSwivelModulus = -11.5;
  p.bInitReset = 1, p.bFirstPrnReset = 0, p.nDelayCharSp = -12;
  return p;
}

HardwareParams WithoutDoubles(HardwareParams p) {
  for (const auto field : kDoubles) p.*field = 0;
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  WriteFile(input);
  const HardwareParams first = Load(HardwareParams{});
  for (const auto field : kDoubles) FUZZ_CHECK(std::isfinite(first.*field));
  FUZZ_CHECK(!first.strResetOrder.starts_with(L' ') && !first.strResetOrder.ends_with(L' '));
  FUZZ_CHECK(first.strResetOrder.find(L'\n') == std::wstring::npos);

  // Where the reader's chunks end must not matter: the same input once more,
  // behind a comment line that puts its middle on the first chunk boundary. That
  // is 64 KiB more to read, so only for one input in eight, picked by content.
  std::string onDisk = input;
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  if (hash % 8 == 0 && size / 2 + 4 < kReadChunk) {
    onDisk = "//" + std::string(kReadChunk - size / 2 - 3, '-') + "\n" + input;
    WriteFile(onDisk);
    FUZZ_CHECK(Load(HardwareParams{}) == first);
  }

  const std::string firstSave = Save(first);
  FUZZ_CHECK(HasTheWritersShape(firstSave));
  FUZZ_CHECK(OnlyTheSettingsFileAndItsBackup(onDisk));

  // A saved file names every field, so what it was read over does not matter.
  const HardwareParams second = Load(HardwareParams{});
  FUZZ_CHECK(Load(Scrambled()) == second);

  const std::string secondSave = Save(second);
  FUZZ_CHECK(OnlyTheSettingsFileAndItsBackup(firstSave));
  const bool encodable =
      DecodeLocaleText(EncodeLocaleText(first.strResetOrder)) == first.strResetOrder;
  if (encodable) {
    FUZZ_CHECK(secondSave == firstSave);
    FUZZ_CHECK(WithoutDoubles(second) == WithoutDoubles(first));
  } else {
    // The first save replaced what the locale cannot hold; from then on it is stable.
    FUZZ_CHECK(Save(Load(HardwareParams{})) == secondSave);
  }
  return 0;
}
