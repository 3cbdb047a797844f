// Small timing helpers the benchmarks share: the calling thread's CPU time
// and the median of a set of samples.
#pragma once

#include <time.h>

#include <algorithm>
#include <vector>

// CPU seconds the calling thread has used: what our code costs, without the
// waits of a loaded machine.
inline double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The upper middle sample; 0 for none.
inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}
