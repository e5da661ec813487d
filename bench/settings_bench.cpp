// Cost of the settings reader and writer, natively. The reader runs on the
// eighteen-line file the writer makes and on large generated files full of
// comments, unknown keys and odd lines; the writer saves the defaults with its
// flush and replace. Files are read from the page cache (warm).
//
//   v7er_settings_bench [benchmark flags] [--data_dir=DIR] [--rows=FILE]
//
// --rows gets the summary as "area,item,value,unit,spread,target,met" lines.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings_file.h"

namespace {

namespace fs = std::filesystem;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kThroughputTarget = 100.0;  // MiB/s
// Time per MiB of the largest file over that of the smallest: linear growth
// keeps it near 1; the margin absorbs cache and allocator effects.
constexpr double kGrowthTarget = 1.25;
constexpr int kLargeSizes[] = {1, 10, 100};  // MiB

// One cycle of the generated text: a few of the tool's own keys among many
// lines it must skip. CR LF line ends, as the tool writes them.
constexpr std::string_view kCycle[] = {
    "// machine 7, bench calibration of %06u, do not edit by hand\r\n",
    "fAreaX = 110\r\n",
    "vendorCalibration%06u = 0.0069851349 ; unknown to the tool\r\n",
    "\r\n",
    "   // an indented comment that mentions fStepX = 0.5 but is not a key\r\n",
    "  nSpeedBase   =  30  \r\n",
    "[section %06u]\r\n",
    "laserPowerTable%06u = 12,14,18,22,25,31,40,55\r\n",
    "strResetOrder = xy\r\n",
    "escaped\\=key%06u = still unknown\r\n",
    "fStepZ = 6.9851349e-3\r\n",
    "bTrailingKeyWithoutValue%06u\r\n",
};

std::string GenerateText(std::size_t size) {
  std::string text;
  text.reserve(size + 256);
  char line[160];
  for (unsigned serial = 0; text.size() < size; ++serial) {
    for (const std::string_view pattern : kCycle) {
      const std::string format(pattern);
      const int length = std::snprintf(line, sizeof line, format.c_str(), serial);
      text.append(line, static_cast<std::size_t>(length));
    }
  }
  text.resize(size);  // the last line may be cut: the reader takes it as it is
  return text;
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

std::size_t CountLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::size_t lines = 0;
  std::string line;
  while (std::getline(in, line)) ++lines;
  return lines;
}

void LoadFile(benchmark::State& state, const std::wstring& path, std::size_t bytes) {
  for (auto _ : state) {
    HardwareParams params;
    LoadSettingsFrom(path, params);
    benchmark::DoNotOptimize(params);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void SaveDefaults(benchmark::State& state, const std::wstring& path) {
  const HardwareParams defaults;
  for (auto _ : state) {
    const SaveResult result = SaveSettingsTo(path, defaults);
    if (!result.saved) {
      state.SkipWithError("SaveSettingsTo failed");
      break;
    }
  }
}

struct Timing {
  double median = 0, min = 0, max = 0;  // seconds per iteration
};

// Prints as usual and keeps, per benchmark, the median, min and max over the
// repetitions for the summary rows.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.error_occurred) continue;
      const double seconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      Timing& timing = timings[run.run_name.function_name];
      if (run.aggregate_name == "median") timing.median = seconds;
      if (run.aggregate_name == "min") timing.min = seconds;
      if (run.aggregate_name == "max") timing.max = seconds;
    }
  }
  std::map<std::string, Timing> timings;
};

double Min(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}
double Max(const std::vector<double>& v) {
  return *std::max_element(v.begin(), v.end());
}

benchmark::internal::Benchmark* Configure(benchmark::internal::Benchmark* b) {
  return b->UseRealTime()
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", Min)
      ->ComputeStatistics("max", Max);
}

std::string Format(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  fs::path dataDir =
      fs::temp_directory_path() / ("v7er-settings-bench-" + std::to_string(getpid()));
  std::string rowsPath;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--data_dir=")) {
      dataDir = std::string(arg.substr(11));
    } else if (arg.starts_with("--rows=")) {
      rowsPath = arg.substr(7);
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }

  std::error_code error;
  fs::create_directories(dataDir / "save", error);
  const fs::path small = dataDir / "printer.ini";
  if (error || !SaveSettingsTo(small.wstring(), HardwareParams{}).saved) {
    std::fprintf(stderr, "cannot write %s\n", small.c_str());
    return 1;
  }
  struct Input {
    std::string name;
    fs::path path;
    std::size_t bytes, lines;
  };
  std::vector<Input> inputs;
  inputs.push_back({"printer.ini", small, fs::file_size(small), CountLines(small)});
  for (const int mib : kLargeSizes) {
    const fs::path path = dataDir / ("generated-" + std::to_string(mib) + "MiB.ini");
    const std::size_t bytes = static_cast<std::size_t>(mib) * 1024 * 1024;
    if (!WriteFile(path, GenerateText(bytes))) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    inputs.push_back({std::to_string(mib) + " MiB", path, bytes, CountLines(path)});
  }

  for (const Input& input : inputs) {
    Configure(benchmark::RegisterBenchmark(("load/" + input.name).c_str(), LoadFile,
                                           input.path.wstring(), input.bytes));
  }
  Configure(benchmark::RegisterBenchmark("save/defaults", SaveDefaults,
                                         (dataDir / "save" / "printer.ini").wstring()));

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  fs::remove_all(dataDir, error);

  std::FILE* rows = rowsPath.empty() ? stdout : std::fopen(rowsPath.c_str(), "w");
  if (!rows) {
    std::fprintf(stderr, "cannot write %s\n", rowsPath.c_str());
    return 1;
  }
  bool complete = true;
  double firstPerMiB = 0, lastPerMiB = 0;
  for (const Input& input : inputs) {
    const auto found = reporter.timings.find("load/" + input.name);
    if (found == reporter.timings.end() || found->second.median <= 0) {
      complete = false;
      continue;
    }
    const Timing& t = found->second;
    if (&input == &inputs.front()) {
      std::fprintf(rows,
                   "reader,LoadSettingsFrom printer.ini (%zu lines / %zu bytes),%s,us,"
                   "min %s / max %s,,\n",
                   input.lines, input.bytes, Format(t.median * 1e6, 2).c_str(),
                   Format(t.min * 1e6, 2).c_str(), Format(t.max * 1e6, 2).c_str());
      continue;
    }
    const double mib = static_cast<double>(input.bytes) / kMiB;
    const double perMiB = t.median / mib * 1e3;  // ms
    const double throughput = mib / t.median;
    if (firstPerMiB == 0) firstPerMiB = perMiB;
    lastPerMiB = perMiB;
    std::fprintf(rows,
                 "reader,%s generated (%zu lines): time per MiB,%s,ms/MiB,min %s / max %s,,\n",
                 input.name.c_str(), input.lines, Format(perMiB, 2).c_str(),
                 Format(t.min / mib * 1e3, 2).c_str(), Format(t.max / mib * 1e3, 2).c_str());
    std::fprintf(rows, "reader,%s generated: throughput,%s,MiB/s,min %s / max %s,> %.0f,%s\n",
                 input.name.c_str(), Format(throughput, 1).c_str(), Format(mib / t.max, 1).c_str(),
                 Format(mib / t.min, 1).c_str(), kThroughputTarget,
                 throughput > kThroughputTarget ? "yes" : "no");
  }
  if (firstPerMiB > 0) {
    const double growth = lastPerMiB / firstPerMiB;
    std::fprintf(rows, "reader,time per MiB %d MiB / %d MiB (linear growth),%s,,,<= %.2f,%s\n",
                 kLargeSizes[std::size(kLargeSizes) - 1], kLargeSizes[0], Format(growth, 3).c_str(),
                 kGrowthTarget, growth <= kGrowthTarget ? "yes" : "no");
  }
  const auto saved = reporter.timings.find("save/defaults");
  if (saved != reporter.timings.end() && saved->second.median > 0) {
    const Timing& t = saved->second;
    std::fprintf(
        rows, "writer,SaveSettingsTo defaults (write + fsync + rename),%s,ms,min %s / max %s,,\n",
        Format(t.median * 1e3, 3).c_str(), Format(t.min * 1e3, 3).c_str(),
        Format(t.max * 1e3, 3).c_str());
  } else {
    complete = false;
  }
  if (rows != stdout) std::fclose(rows);
  return complete ? 0 : 1;
}
