// What every figure group of qv_bench shares: the clock, medians and the
// "name: value unit" line.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace qv::bench {

inline double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency;
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n == 0 ? 0.0 : (n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0);
}

inline double MedianOf(int runs, const std::function<double()>& run) {
  std::vector<double> values;
  for (int i = 0; i < runs; ++i) values.push_back(run());
  return Median(values);
}

inline void Figure(const char* name, double value, const char* unit) {
  std::printf("%s: %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

// (7) Keys of the input line: Tab among 1,600 commands and the inline
// suggestion over 1,000 history entries, in microseconds per key. Makes its
// own plugin host under folder; false when the plugins did not load.
bool KeyFigures(const std::wstring& folder, int runs);

// (8) The real program with 100 repeating timers against the same program
// idle: the share of one core it uses over a second of wall time.
bool TimerLoadFigures(const std::wstring& programExe, const std::wstring& folder, int runs);

}  // namespace qv::bench
