// MakeNew/Delete pairs against the platform heap's allocate/free pairs, in the
// same run, with 1 000 and with 1 000 000 values alive. A pair makes a value and
// deletes it again; the cost must not grow with the number of live values.
// A last row replaces values picked at random across a million live ones: there
// both sides pay for cache misses, so it is shown without a goal.
#include <vector>

#include "bench.h"
#include "harness/plugin.h"

namespace {

using MakeFn = std::uint32_t (*)();
using DeleteFn = std::int32_t (*)(std::uint32_t);
constexpr std::size_t kVec3Element = 28;  // header and value, as the heap would be asked for it

struct Sides {
  double pool, heap;
};

template <class PoolStep, class HeapStep>
Sides time_both(long live, long steps, MakeFn make, DeleteFn release, PoolStep pool_step, HeapStep heap_step) {
  std::vector<std::uint32_t> values(live);
  for (auto& v : values) v = make();
  const double pool = kvb::best_ns_per_op(steps, [&] {
    kvb::Lcg pick;
    for (long i = 0; i < steps; ++i) pool_step(values, pick);
  });
  for (auto v : values) release(v);

  HANDLE heap = HeapCreate(0, 4096, 0);  // created as the plug-in creates its own
  std::vector<void*> blocks(live);
  for (auto& b : blocks) b = HeapAlloc(heap, HEAP_ZERO_MEMORY, kVec3Element);
  const double platform = kvb::best_ns_per_op(steps, [&] {
    kvb::Lcg pick;
    for (long i = 0; i < steps; ++i) heap_step(heap, blocks, pick);
  });
  HeapDestroy(heap);
  return {pool, platform};
}

}  // namespace

void bench_pools(const kvt::Plugin& plugin) {
  auto make = reinterpret_cast<MakeFn>(plugin.address("Vec3_MakeNew"));
  auto release = reinterpret_cast<DeleteFn>(plugin.address("Vec3_Delete"));
  const long steps = 4000000;

  auto pool_pair = [&](std::vector<std::uint32_t>&, kvb::Lcg&) { release(make()); };
  auto heap_pair = [](HANDLE heap, std::vector<void*>&, kvb::Lcg&) {
    HeapFree(heap, 0, HeapAlloc(heap, HEAP_ZERO_MEMORY, kVec3Element));
  };
  for (long live : {1000L, 1000000L}) {
    const Sides s = time_both(live, steps, make, release, pool_pair, heap_pair);
    char what[64];
    std::snprintf(what, sizeof what, "Vec3 MakeNew+Delete pair, %ld alive", live);
    kvb::report(what, s.pool, "HeapAlloc+HeapFree", s.heap, 10);
  }

  auto pool_churn = [&](std::vector<std::uint32_t>& values, kvb::Lcg& pick) {
    std::uint32_t& v = values[pick.next(static_cast<unsigned>(values.size()))];
    release(v);
    v = make();
  };
  auto heap_churn = [](HANDLE heap, std::vector<void*>& blocks, kvb::Lcg& pick) {
    void*& b = blocks[pick.next(static_cast<unsigned>(blocks.size()))];
    HeapFree(heap, 0, b);
    b = HeapAlloc(heap, HEAP_ZERO_MEMORY, kVec3Element);
  };
  const Sides s = time_both(1000000, steps / 2, make, release, pool_churn, heap_churn);
  std::printf("%-44s %8.1f ns  %-22s %8.1f ns  %6.1fx  (no goal: cache-bound on both sides)\n",
              "Vec3 random replace, 1000000 alive", s.pool, "HeapAlloc+HeapFree", s.heap, s.heap / s.pool);
}
