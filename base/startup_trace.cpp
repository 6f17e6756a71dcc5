#include "base/startup_trace.h"

#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

namespace qv {

namespace {

struct Mark {
  const char* step;
  LONGLONG counter;
};

struct Trace {
  std::wstring path;
  std::array<Mark, 32> marks{};
  std::size_t count = 0;
  bool finished = false;
};

// Null when no trace was asked for.
Trace* ActiveTrace() {
  static Trace* const trace = [] () -> Trace* {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"QUORVANTLINE_STARTUP_TRACE", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    auto* made = new Trace;  // lives until the process ends
    made->path.assign(path, length);
    return made;
  }();
  return trace;
}

}  // namespace

void MarkStartup(const char* step) {
  Trace* trace = ActiveTrace();
  if (trace == nullptr || trace->finished || trace->count == trace->marks.size()) return;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  trace->marks[trace->count++] = {step, counter.QuadPart};
}

void FinishStartupTrace() {
  Trace* trace = ActiveTrace();
  if (trace == nullptr || trace->finished) return;
  trace->finished = true;
  FILE* file = _wfopen(trace->path.c_str(), L"w");
  if (file == nullptr) return;
  for (std::size_t i = 0; i < trace->count; ++i) {
    std::fprintf(file, "%s %lld\n", trace->marks[i].step, trace->marks[i].counter);
  }
  std::fclose(file);
}

}  // namespace qv
