// The fuzz targets in the unit tests: the kept corpus replayed (every input ever
// found to fail stays there), and a long soak of the pool model.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz.h"
#include "support/surface.h"

namespace kv::test {
namespace {

std::vector<std::string> inputs(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') files.push_back(folder + "/" + e->d_name);
    }
    closedir(d);
  }
  return files;
}

std::vector<std::uint8_t> bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzCorpus, ReplaysEveryKeptInput) {
  const struct {
    const char* folder;
    int (*target)(const std::uint8_t*, std::size_t);
  } targets[] = {{KV_FUZZ_CORPUS "/commands", fuzz_commands}, {KV_FUZZ_CORPUS "/pools", fuzz_pools}};
  for (const auto& t : targets) {
    const std::vector<std::string> files = inputs(t.folder);
    EXPECT_FALSE(files.empty()) << t.folder;
    for (const std::string& f : files) {
      SCOPED_TRACE(f);
      const std::vector<std::uint8_t> data = bytes_of(f);
      t.target(data.data(), data.size());
    }
  }
}

// A million steps in every test run; `make stress` sets KV_SOAK_STEPS to ten million.
TEST(PoolSoak, MillionsOfStepsKeepTheModel) {
  const char* steps = std::getenv("KV_SOAK_STEPS");
  surface::Lcg source(20261207);
  run_pool_model(source, steps ? std::atol(steps) : 1'000'000);
}

}  // namespace
}  // namespace kv::test
