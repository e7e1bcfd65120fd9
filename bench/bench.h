// Timing helpers for the Win32 benchmarks: the best of several runs, in
// nanoseconds per operation, from the performance counter.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace kvb {

template <class Body>
double best_ns_per_op(long ops, Body body, int runs = 5) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double best = 1e30;
  for (int r = 0; r < runs; ++r) {
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    body();
    QueryPerformanceCounter(&stop);
    const double ns = double(stop.QuadPart - start.QuadPart) * 1e9 / double(frequency.QuadPart);
    best = std::min(best, ns / double(ops));
  }
  return best;
}

// Two bodies timed in alternation, run by run, so that a change of clock speed
// or a neighbour's load during the measurement falls on both: the best of each.
struct Pair {
  double first_ns, second_ns;
};
template <class First, class Second>
Pair best_pair_ns(long ops, First first, Second second, int runs = 15) {
  Pair best{1e30, 1e30};
  for (int r = 0; r < runs; ++r) {
    best.first_ns = std::min(best.first_ns, best_ns_per_op(ops, first, 1));
    best.second_ns = std::min(best.second_ns, best_ns_per_op(ops, second, 1));
  }
  return best;
}

// A row of the report: what was timed, ours, the reference, the ratio and the goal.
inline void report(const char* what, double ours_ns, const char* reference, double reference_ns, double goal_ratio) {
  const double ratio = reference_ns / ours_ns;
  std::printf("%-44s %8.1f ns  %-22s %8.1f ns  %6.1fx  (goal %.1fx: %s)\n", what, ours_ns, reference, reference_ns,
              ratio, goal_ratio, ratio >= goal_ratio ? "met" : "MISSED");
}

// Ours against the floor of an export call (the cheapest export: a call and one
// load), measured in the same run: within `goal` times the floor.
inline void report_floor(const char* what, double ours_ns, double floor_ns, double goal) {
  const double times = ours_ns / floor_ns;
  if (goal > 0) {
    std::printf("%-44s %8.1f ns  %6.2fx the floor  (goal within %.1fx: %s)\n", what, ours_ns, times, goal,
                times <= goal ? "met" : "MISSED");
  } else {
    std::printf("%-44s %8.1f ns  %6.2fx the floor\n", what, ours_ns, times);
  }
}

// A small fast generator for the access pattern, the same in every run.
struct Lcg {
  unsigned state = 12345;
  unsigned next(unsigned bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  }
};

}  // namespace kvb
