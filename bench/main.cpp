// The Win32 benchmarks of the built DLL, run under Wine by `make bench`.
#include <cstdio>

#include "harness/plugin.h"

void bench_pools(const kvt::Plugin& plugin);
void bench_dx();
void bench_vectors(const kvt::Plugin& plugin);
void bench_commands(const kvt::Plugin& plugin);
void bench_checked(const kvt::Plugin& release, const kvt::Plugin& checked);
void bench_arrays(const kvt::Plugin& plugin);

int main() {
  kvt::Plugin plugin("Kestrom_Vandu.dll");
  std::printf("Kestrom_Vandu benchmarks (best of 5 runs, ns per operation)\n");
  bench_pools(plugin);
  bench_dx();
  bench_vectors(plugin);
  bench_commands(plugin);
  bench_arrays(plugin);
  bench_checked(plugin, kvt::Plugin("checked\\Kestrom_Vandu.dll"));
  return 0;
}
