// The Win32 benchmarks of the built DLL, run under Wine by `make bench`.
#include <cstdio>
#include <string>

#include "harness/plugin.h"

void bench_pools(const kvt::Plugin& plugin);
void bench_dx();
void bench_vectors(const kvt::Plugin& plugin);
void bench_commands(const kvt::Plugin& plugin);
void bench_checked(const kvt::Plugin& release, const kvt::Plugin& checked);
void bench_arrays(const kvt::Plugin& plugin);
void bench_meshes(const kvt::Plugin& plugin);

// With an argument, only the benchmarks of that family: pools, dx, vectors, commands,
// arrays, meshes, checked.
int main(int argc, char** argv) {
  kvt::Plugin plugin("Kestrom_Vandu.dll");
  const std::string only = argc > 1 ? argv[1] : "";
  const auto run = [&](const char* family) { return only.empty() || only == family; };
  std::printf("Kestrom_Vandu benchmarks (best of 5 runs, ns per operation)\n");
  if (run("pools")) bench_pools(plugin);
  if (run("dx")) bench_dx();
  if (run("vectors")) bench_vectors(plugin);
  if (run("commands")) bench_commands(plugin);
  if (run("arrays")) bench_arrays(plugin);
  if (run("meshes")) bench_meshes(plugin);
  if (run("checked")) bench_checked(plugin, kvt::Plugin("checked\\Kestrom_Vandu.dll"));
  return 0;
}
