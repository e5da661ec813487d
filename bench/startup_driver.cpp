// Times, from outside, how long a dialog program takes from CreateProcessW to
// a visible "Hardware Parameter Setup" window that answers a query for its
// first field (for V7ER, with the value from its printer.ini), then cancels it
// and waits for the exit. The programs take turns, round after round and in
// alternating order, so that both meet the same machine state; warm-up rounds
// are thrown away.
//
//   v7er_startup_driver --bare EXE --v7er EXE [--runs N] [--warmup N]
//                       [--rows FILE] [--samples FILE]
//   v7er_startup_driver --profile EXE [--bare EXE] [--runs N] [--warmup N] [--rows FILE]
//
// With --profile, EXE is a V7ER built with V7ER_STARTUP_PROFILE (and --bare,
// if given, the bare dialog of that build): the median time of each step from
// their marks goes to the rows.
//
// Paths may be Unix paths (taken as the Z: drive). --rows gets the summary as
// "area,item,value,unit,spread,target,met" lines, --samples every run.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <numeric>
#include <utility>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "resource.h"
#include "settings_file.h"

namespace {

constexpr wchar_t kFormCaption[] = L"Hardware Parameter Setup";
constexpr double kStartupTarget = 1.05;
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 15000;
// A value the defaults do not have: seeing it proves the file was read.
constexpr double kAreaX = 123.5;
constexpr wchar_t kAreaXText[] = L"123.5";

struct Program {
  std::wstring label;
  std::wstring exe;     // Windows path of the built program
  bool settingsFilled;  // has a printer.ini beside it and must show its value
};

struct Sample {
  bool ok = false;
  double visibleMs = 0;  // CreateProcessW to the form first seen visible
  double startupMs = 0;  // CreateProcessW to the filled, visible form answering
  double exitMs = 0;     // Cancel posted to process ended
  std::string error;
  // Each step the program marked and how long it took, in the order run.
  std::vector<std::pair<std::string, double>> steps;
};

std::wstring WindowsPath(std::wstring path) {
  if (!path.empty() && path.front() == L'/') path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string Narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  out.resize(std::strlen(out.c_str()));
  return out;
}

double Milliseconds(LONGLONG from, LONGLONG to) {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency);
}

LONGLONG Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

// A fresh directory under the temporary folder holding a copy of the program
// and, when asked, a printer.ini; removed again on destruction.
class Sandbox {
 public:
  Sandbox(const Program& program, int serial) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    dir_ = std::wstring(temp) + L"v7er-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(serial) + L"\\";
    if (!CreateDirectoryW(dir_.c_str(), nullptr)) {
      error_ = "cannot create " + Narrow(dir_);
      return;
    }
    exe_ = dir_ + FileNameOf(program.exe);
    if (!CopyFileW(program.exe.c_str(), exe_.c_str(), FALSE)) {
      error_ = "cannot copy " + Narrow(program.exe);
      return;
    }
    if (program.settingsFilled) {
      HardwareParams params;
      params.fAreaX = kAreaX;
      const SaveResult saved = SaveSettingsTo(dir_ + L"printer.ini", params);
      if (!saved.saved) error_ = "cannot write printer.ini: " + Narrow(saved.reason);
    }
  }
  ~Sandbox() {
    if (dir_.empty()) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir_ + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
          DeleteFileW((dir_ + found.cFileName).c_str());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(dir_.c_str());
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& Error() const { return error_; }
  const std::wstring& Dir() const { return dir_; }
  const std::wstring& Exe() const { return exe_; }

 private:
  std::wstring dir_, exe_;
  std::string error_;
};

struct FormSearch {
  DWORD processId;
  HWND form;
};

BOOL CALLBACK MatchForm(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<FormSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  if (std::wcscmp(caption, kFormCaption) != 0) return TRUE;
  search->form = window;
  return FALSE;
}

HWND VisibleForm(DWORD processId) {
  FormSearch search{processId, nullptr};
  EnumWindows(MatchForm, reinterpret_cast<LPARAM>(&search));
  return search.form;
}

// The edit control's content; GetWindowTextW would give another process's
// child only its creation text.
std::wstring FieldText(HWND form, int id) {
  HWND field = GetDlgItem(form, id);
  if (!field) return {};
  wchar_t text[64] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(field, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           2000, &copied)) {
    return {};
  }
  return text;
}

// The program's marks (counter, tab, step), each step timed from the one
// before, the first from `started`.
std::vector<std::pair<std::string, double>> ReadSteps(const std::wstring& path, LONGLONG started) {
  std::vector<std::pair<std::string, double>> steps;
  std::FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return steps;
  char line[256];
  LONGLONG previous = started;
  while (std::fgets(line, sizeof line, file)) {
    char* tab = std::strchr(line, '\t');
    if (!tab) continue;
    const LONGLONG counter = _strtoi64(line, nullptr, 10);
    std::string step(tab + 1);
    while (!step.empty() && (step.back() == '\n' || step.back() == '\r')) step.pop_back();
    steps.emplace_back(step, Milliseconds(previous, counter));
    previous = counter;
  }
  std::fclose(file);
  return steps;
}

Sample RunOnce(const Program& program, int serial) {
  Sample sample;
  Sandbox sandbox(program, serial);
  if (!sandbox.Error().empty()) {
    sample.error = sandbox.Error();
    return sample;
  }
  std::wstring commandLine = L"\"" + sandbox.Exe() + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};

  const LONGLONG started = Now();
  if (!CreateProcessW(sandbox.Exe().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, sandbox.Dir().c_str(), &startup, &process)) {
    sample.error = "CreateProcessW failed, error " + std::to_string(GetLastError());
    return sample;
  }

  HWND form = nullptr;
  LONGLONG shown = 0;
  std::wstring areaX;
  while (!form) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      sample.error = "the program ended before its form showed";
      break;
    }
    if (HWND candidate = VisibleForm(process.dwProcessId)) {
      if (sample.visibleMs == 0) sample.visibleMs = Milliseconds(started, Now());
      // Both programs are asked: the answer waits until the form's thread is
      // back in its message loop, which would otherwise count for one only.
      areaX = FieldText(candidate, IDC_AREA_X);
      if (!areaX.empty() || !program.settingsFilled) {
        shown = Now();
        form = candidate;
        break;
      }
    }
    if (Milliseconds(started, Now()) > kStartTimeoutMs) {
      sample.error = "no filled form within the time limit";
      break;
    }
    Sleep(1);
  }

  if (form) {
    sample.startupMs = Milliseconds(started, shown);
    if (program.settingsFilled && areaX != kAreaXText) {
      sample.error = "field " + std::to_string(IDC_AREA_X) + " shows \"" + Narrow(areaX) +
                     "\", not the file's value";
    }
    PostMessageW(form, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  const LONGLONG cancelled = Now();
  if (WaitForSingleObject(process.hProcess, form ? kExitTimeoutMs : 0) != WAIT_OBJECT_0) {
    if (form && sample.error.empty()) sample.error = "the program did not end after Cancel";
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, kExitTimeoutMs);
  }
  sample.exitMs = Milliseconds(cancelled, Now());
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  sample.ok = form && sample.error.empty();
  if (sample.ok) {
    sample.steps = ReadSteps(sandbox.Dir() + L"startup-marks.txt", started);
    const double marked = std::accumulate(sample.steps.begin(), sample.steps.end(), 0.0,
                                          [](double sum, const auto& s) { return sum + s.second; });
    sample.steps.emplace_back("form shown and answering", sample.startupMs - marked);
  }
  return sample;
}

// Linear interpolation between the closest ranks; `sorted` is not empty.
double Percentile(const std::vector<double>& sorted, double p) {
  const double rank = p * static_cast<double>(sorted.size() - 1);
  const std::size_t low = static_cast<std::size_t>(rank);
  const std::size_t high = std::min(low + 1, sorted.size() - 1);
  return sorted[low] + (sorted[high] - sorted[low]) * (rank - static_cast<double>(low));
}

struct Summary {
  double median, min, p10, p90, max;
};

Summary Summarize(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {Percentile(values, 0.5), values.front(), Percentile(values, 0.1), Percentile(values, 0.9),
          values.back()};
}

std::string Format(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Spread(const Summary& s, int decimals) {
  return "min " + Format(s.min, decimals) + " / p10 " + Format(s.p10, decimals) + " / p90 " +
         Format(s.p90, decimals) + " / max " + Format(s.max, decimals);
}

struct Options {
  int runs = 25;
  int warmup = 3;
  std::wstring bare, v7er, profile, rows, samples;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring name = argv[i];
    const std::wstring value = argv[i + 1];
    if (name == L"--bare") {
      options.bare = WindowsPath(value);
    } else if (name == L"--v7er") {
      options.v7er = WindowsPath(value);
    } else if (name == L"--profile") {
      options.profile = WindowsPath(value);
    } else if (name == L"--rows") {
      options.rows = WindowsPath(value);
    } else if (name == L"--samples") {
      options.samples = WindowsPath(value);
    } else if (name == L"--runs") {
      options.runs = std::max(1, _wtoi(value.c_str()));
    } else if (name == L"--warmup") {
      options.warmup = std::max(0, _wtoi(value.c_str()));
    } else {
      return false;
    }
  }
  return argc % 2 == 1 &&
         (!options.profile.empty() || (!options.bare.empty() && !options.v7er.empty()));
}

// Runs the profiled programs, taking turns, and writes the median of each step.
int Profile(const Options& options) {
  std::vector<Program> programs = {{L"V7ER", options.profile, true}};
  if (!options.bare.empty()) programs.push_back({L"bare", options.bare, false});
  struct Steps {
    std::vector<std::string> order;
    std::vector<std::vector<double>> times;
  };
  std::vector<Steps> steps(programs.size());
  int failures = 0, serial = 0;
  for (int round = 0; round < options.warmup + options.runs; ++round) {
    for (std::size_t which = 0; which < programs.size(); ++which) {
      const Sample sample = RunOnce(programs[which], serial++);
      if (!sample.ok || sample.steps.size() < 2) {
        std::fprintf(stderr, "profile: round %d: %s\n", round + 1,
                     sample.ok ? "no marks" : sample.error.c_str());
        ++failures;
        continue;
      }
      if (round < options.warmup) continue;
      Steps& s = steps[which];
      for (const auto& [step, ms] : sample.steps) {
        const auto found = std::find(s.order.begin(), s.order.end(), step);
        const auto index = static_cast<std::size_t>(found - s.order.begin());
        if (found == s.order.end()) {
          s.order.push_back(step);
          s.times.emplace_back();
        }
        s.times[index].push_back(ms);
      }
    }
  }
  std::FILE* rows = options.rows.empty() ? stdout : _wfopen(options.rows.c_str(), L"wb");
  if (!rows) return 1;
  for (std::size_t which = 0; which < programs.size(); ++which) {
    const Steps& s = steps[which];
    const std::string label = Narrow(programs[which].label);
    double total = 0;
    for (std::size_t i = 0; i < s.order.size(); ++i) {
      const Summary summary = Summarize(s.times[i]);
      total += summary.median;
      std::fprintf(rows, "profile,%s: %s (median of %zu),%s,ms,%s,,\n", label.c_str(),
                   s.order[i].c_str(), s.times[i].size(), Format(summary.median, 2).c_str(),
                   Spread(summary, 2).c_str());
    }
    std::fprintf(rows, "profile,%s: sum of the medians,%s,ms,,,\n", label.c_str(),
                 Format(total, 2).c_str());
  }
  if (rows != stdout) std::fclose(rows);
  return failures > 0 || steps[0].order.empty() ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: v7er_startup_driver --bare EXE --v7er EXE [--runs N] [--warmup N] "
                 "[--rows FILE] [--samples FILE]\n"
                 "       v7er_startup_driver --profile EXE [--bare EXE] [--runs N] [--warmup N] "
                 "[--rows FILE]\n");
    return 2;
  }
  // Sleep(1) then really sleeps about a millisecond on Windows too.
  timeBeginPeriod(1);
  if (!options.profile.empty()) {
    const int status = Profile(options);
    timeEndPeriod(1);
    return status;
  }

  const Program programs[2] = {{L"bare", options.bare, false}, {L"V7ER", options.v7er, true}};
  std::vector<double> startup[2], ratios;
  std::FILE* samples = options.samples.empty() ? nullptr : _wfopen(options.samples.c_str(), L"wb");
  if (samples) std::fprintf(samples, "round,warmup,program,visible_ms,startup_ms,exit_ms,error\n");
  int failures = 0, serial = 0;
  const int rounds = options.warmup + options.runs;
  for (int round = 0; round < rounds; ++round) {
    const bool warmup = round < options.warmup;
    Sample results[2];
    // Alternate who goes first, so neither always follows the other.
    for (int turn = 0; turn < 2; ++turn) {
      const int which = (round + turn) % 2;
      results[which] = RunOnce(programs[which], serial++);
    }
    std::printf("round %2d/%d%s:", round + 1, rounds, warmup ? " (warm-up)" : "");
    for (int which = 0; which < 2; ++which) {
      const Sample& s = results[which];
      std::printf("  %s %7.1f ms", Narrow(programs[which].label).c_str(), s.startupMs);
      if (!s.ok) std::printf(" [%s]", s.error.c_str());
      if (samples) {
        std::fprintf(samples, "%d,%d,%s,%.3f,%.3f,%.3f,%s\n", round + 1, warmup ? 1 : 0,
                     Narrow(programs[which].label).c_str(), s.visibleMs, s.startupMs, s.exitMs,
                     s.error.c_str());
      }
    }
    std::printf("\n");
    std::fflush(stdout);
    if (warmup) continue;
    for (int which = 0; which < 2; ++which) {
      if (results[which].ok) {
        startup[which].push_back(results[which].startupMs);
      } else {
        ++failures;
      }
    }
    if (results[0].ok && results[1].ok) {
      ratios.push_back(results[1].startupMs / results[0].startupMs);
    }
  }
  if (samples) std::fclose(samples);
  timeEndPeriod(1);

  if (startup[0].empty() || startup[1].empty() || ratios.empty()) {
    std::fprintf(stderr, "startup: no complete measurements (%d failed runs)\n", failures);
    return 1;
  }
  const Summary bare = Summarize(startup[0]);
  const Summary v7er = Summarize(startup[1]);
  const Summary pairs = Summarize(ratios);
  const double ratio = v7er.median / bare.median;
  const std::string counts =
      std::to_string(startup[0].size()) + " + " + std::to_string(startup[1].size()) + " runs";

  std::FILE* rows = options.rows.empty() ? stdout : _wfopen(options.rows.c_str(), L"wb");
  if (!rows) {
    std::fprintf(stderr, "cannot write %s\n", Narrow(options.rows).c_str());
    return 1;
  }
  std::fprintf(rows, "startup,bare dialog (median of %zu),%s,ms,%s,,\n", startup[0].size(),
               Format(bare.median, 1).c_str(), Spread(bare, 1).c_str());
  std::fprintf(rows, "startup,V7ER.exe (median of %zu),%s,ms,%s,,\n", startup[1].size(),
               Format(v7er.median, 1).c_str(), Spread(v7er, 1).c_str());
  std::fprintf(rows, "startup,V7ER / bare (medians),%s,,,<= %.2f,%s\n", Format(ratio, 3).c_str(),
               kStartupTarget, ratio <= kStartupTarget ? "yes" : "no");
  // The target holds for both measures.
  std::fprintf(rows, "startup,V7ER / bare (median of the per-round ratios),%s,,%s,<= %.2f,%s\n",
               Format(pairs.median, 3).c_str(), Spread(pairs, 3).c_str(), kStartupTarget,
               pairs.median <= kStartupTarget ? "yes" : "no");
  if (failures > 0) {
    std::fprintf(rows, "startup,failed runs,%d,,%s,0,no\n", failures, counts.c_str());
  }
  if (rows != stdout) std::fclose(rows);
  return failures > 0 ? 1 : 0;
}
