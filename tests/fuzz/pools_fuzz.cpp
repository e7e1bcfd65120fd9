// The value pools against a model of what they hold: a run of MakeNew, Delete and
// deletes of handles that are not live values of the pool (deleted already,
// inside a value, another pool's, foreign, null), with the heap now and then out
// of memory. After every step each pool holds exactly the model's values, and no
// value has changed but through its own handle; when all are gone the heap is
// back to where it started, and unload leaves nothing.
#include <unordered_set>
#include <vector>

#include "frame/plugin.h"
#include "frame/platform.h"
#include "frame/pool.h"
#include "fuzz/fuzz.h"
#include "support/surface.h"

namespace kv::test {
namespace {

using frame::PoolId;

struct Live {
  Handle handle;
  int pool;
  std::uint32_t mark;  // every float of the value holds it
};

constexpr int kPools = int(PoolId::Count);
const std::size_t kBytes[kPools] = {8, 12, 16, 64, 16, 96, 24};

void fill(const Live& v) {
  for (std::size_t i = 0; i < kBytes[v.pool]; i += 4) std::memcpy(reinterpret_cast<void*>(v.handle + i), &v.mark, 4);
}
bool intact(const Live& v) {
  for (std::size_t i = 0; i < kBytes[v.pool]; i += 4) {
    if (std::memcmp(reinterpret_cast<const void*>(v.handle + i), &v.mark, 4) != 0) return false;
  }
  return true;
}

}  // namespace

// `steps` steps chosen by the source, checked as they go.
void run_pool_model(surface::Source& source, long steps) {
  frame::set_up();
  // The level with every pool empty: the name buffer, the block index, and one
  // block each store keeps back against churn once it has had one.
  for (int p = 0; p < kPools; ++p) frame::pool(PoolId(p)).remove(frame::pool(PoolId(p)).make_new());
  const long heap_when_empty = platform::fake::live_allocations();
  std::vector<Live> live;
  std::unordered_set<Handle> live_in[kPools];
  std::vector<Handle> deleted;
  std::uint32_t marks = 0;
  long stored[kPools] = {};
  auto verify_all = [&] {
    for (int p = 0; p < kPools; ++p) KV_FUZZ_CHECK(frame::pool(PoolId(p)).count() == std::size_t(stored[p]));
    for (const Live& v : live) KV_FUZZ_CHECK(intact(v));
  };
  for (long step = 0; step < steps; ++step) {
    const int pool = int(source.below(kPools));
    frame::Pool& target = frame::pool(PoolId(pool));
    const std::uint32_t op = source.below(16);
    if ((op < 7 && live.size() < 4000) || live.empty()) {  // make, more often than delete
      const bool short_of_memory = source.one_in(64);
      if (short_of_memory) platform::fake::set_allocation_budget(0);
      const Handle h = target.make_new();
      platform::fake::set_allocation_budget(-1);
      if (!h) {
        KV_FUZZ_CHECK(short_of_memory);
        continue;
      }
      for (std::size_t i = 0; i < kBytes[pool]; ++i) KV_FUZZ_CHECK(reinterpret_cast<const unsigned char*>(h)[i] == 0);
      Live v{h, pool, ++marks};
      fill(v);
      live.push_back(v);
      live_in[pool].insert(h);
      ++stored[pool];
    } else if (op < 13) {  // delete a live value of any pool through its own pool
      const std::size_t i = source.below(std::uint32_t(live.size()));
      const Live v = live[i];
      KV_FUZZ_CHECK(intact(v));
      frame::pool(PoolId(v.pool)).remove(v.handle);
      live[i] = live.back();
      live.pop_back();
      live_in[v.pool].erase(v.handle);
      --stored[v.pool];
      deleted.push_back(v.handle);
      if (deleted.size() > 256) deleted.erase(deleted.begin());
    } else {  // a handle the pool must ignore
      Handle bad = 0;
      const Live& some = live[source.below(std::uint32_t(live.size()))];
      int foreign = 0;
      switch (source.below(5)) {
        case 0: bad = deleted.empty() ? 0 : deleted[source.below(std::uint32_t(deleted.size()))]; break;
        case 1: bad = some.handle + 4 * (1 + source.below(2)); break;
        case 2: bad = some.pool == pool ? 0 : some.handle; break;
        case 3: bad = Handle(&foreign); break;
        default: bad = 0;
      }
      if (live_in[pool].count(bad)) continue;  // a deleted handle made again is live again
      target.remove(bad);
    }
    KV_FUZZ_CHECK(target.count() == std::size_t(stored[pool]));
    if (step % 4096 == 0) verify_all();
  }
  verify_all();
  for (const Live& v : live) frame::pool(PoolId(v.pool)).remove(v.handle);
  for (int p = 0; p < kPools; ++p) KV_FUZZ_CHECK(frame::pool(PoolId(p)).count() == 0);
  KV_FUZZ_CHECK(platform::fake::live_allocations() == heap_when_empty);
  frame::clean_up();
  KV_FUZZ_CHECK(platform::fake::live_allocations() == 0);
}

int fuzz_pools(const std::uint8_t* data, std::size_t size) {
  struct Bytes : surface::Source {
    const std::uint8_t* data;
    std::size_t size, at = 0;
    std::uint32_t bits() override {
      std::uint32_t v = 0;
      for (int i = 0; i < 4; ++i) v = v << 8 | (at < size ? data[at++] : 0);
      return v;
    }
  } source;
  source.data = data, source.size = size;
  run_pool_model(source, long(size / 4) + 1);
  return 0;
}

}  // namespace kv::test
