#include "startup_marks.h"

#if defined(V7ER_STARTUP_PROFILE)

#include <windows.h>

#include <cstdio>

namespace {

struct Mark {
  const char* step;
  LONGLONG counter;
};
Mark g_marks[64];
int g_markCount = 0;

// The loader calls this before the C runtime starts: the end of loading the
// image and its DLLs.
void NTAPI LoaderDone(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_PROCESS_ATTACH) StartupMark("loader and DLLs");
}

}  // namespace

// Between MinGW's own TLS callbacks (.CRT$XLA to .CRT$XLZ), so the loader runs it.
extern "C" __attribute__((section(".CRT$XLY"), used))
const PIMAGE_TLS_CALLBACK v7erStartupMarkCallback = LoaderDone;

void StartupMark(const char* step) {
  if (g_markCount == static_cast<int>(sizeof g_marks / sizeof g_marks[0])) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  g_marks[g_markCount++] = {step, now.QuadPart};
}

void WriteStartupMarks() {
  wchar_t path[MAX_PATH + 32];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  wchar_t* name = path + length;
  while (name > path && name[-1] != L'\\') --name;
  lstrcpyW(name, L"startup-marks.txt");
  std::FILE* file = _wfopen(path, L"wb");
  if (!file) return;
  for (int i = 0; i < g_markCount; ++i) {
    std::fprintf(file, "%lld\t%s\n", static_cast<long long>(g_marks[i].counter), g_marks[i].step);
  }
  std::fclose(file);
}

#endif
