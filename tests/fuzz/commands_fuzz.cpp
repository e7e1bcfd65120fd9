// The command surface under the fuzzer: each input chooses the host's state and
// a run of calls; every argument comes from the input through the same builder
// as the Win32 stress run. After each call nothing may have changed outside what
// it may write, and each pool must hold exactly the values made and not deleted.
#include <string>
#include <vector>

#include "frame/plugin.h"
#include "frame/pool.h"
#include "fuzz/fuzz.h"
#include "host/host_api.h"
#include "support/surface.h"

namespace kv::test {
namespace {

using namespace surface;

// The input's bytes as choices; zeros once they run out.
class Bytes : public Source {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t bits() override {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | (at_ < size_ ? data_[at_++] : 0);
    return v;
  }
  bool done() const { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_, at_ = 0;
};

// A host of seven objects and four cameras; object 9 and camera 9 are answered
// with an address that is negative as a signed integer.
unsigned char object_records[8][256], camera_records[4][256];
float world[16];
void* negative() { return reinterpret_cast<void*>(~std::uintptr_t(0) << 20); }
host::sObject* get_object(std::int32_t n) {
  if (n == 9) return static_cast<host::sObject*>(negative());
  return n >= 1 && n <= 7 ? reinterpret_cast<host::sObject*>(object_records[n]) : nullptr;
}
void get_world(std::int32_t, std::int32_t, dx::Mat4* m) { std::memcpy(m, world, sizeof world); }
void set_world(std::int32_t, dx::Mat4* m) { std::memcpy(world, m, sizeof world); }
void* get_camera(std::int32_t n) { return n == 9 ? negative() : n >= 0 && n <= 3 ? camera_records[n] : nullptr; }

const TableFile& table() {
  static const TableFile t = read_table_file(KV_COMMANDS_TAB);
  return t;
}

frame::PoolId pool_id(const std::string& pool) {
  const char* names[] = {"Vec2", "Vec3", "Vec4", "Mat4", "Quat", "Frustum", "ViewPort"};
  for (int i = 0; i < 7; ++i) {
    if (pool == names[i]) return frame::PoolId(i);
  }
  return frame::PoolId::Count;
}

const ExportCall& callee(const std::string& name) {
  for (std::size_t i = 0; i < kExportCallCount; ++i) {
    if (name == kExportCalls[i].name) return kExportCalls[i];
  }
  __builtin_trap();
}

}  // namespace

int fuzz_commands(const std::uint8_t* data, std::size_t size) {
  Bytes source(data, size);
  std::memset(object_records, 0, sizeof object_records), std::memset(camera_records, 0, sizeof camera_records);
  std::memset(world, 0, sizeof world);
  frame::set_up();
  const std::uint32_t host_state = source.below(4);  // bound, bound lacking SetWorldMatrix, unbound
  if (host_state < 3) host::slots = {get_object, get_world, host_state == 1 ? nullptr : set_world, get_camera};
  Values values(2);
  Builder builder(table(), values);
  static std::vector<const ExportCall*> calls;  // in the builder's order, found once
  if (calls.empty()) {
    for (const Export& e : builder.exports()) calls.push_back(&callee(e.name));
  }
  for (const char* kind : kValueKinds) {
    const Word h = callee(std::string(kind) + "_MakeNew").call(nullptr);
    KV_FUZZ_CHECK(h != 0);
    values.add(kind, h);
  }
  // An array of a few triangles, and a mesh of them.
  const Word corners = callee("Vec3_MakeArray").call(std::vector<Word>{Word(3 + source.below(10))}.data());
  KV_FUZZ_CHECK(corners != 0);
  values.add("Vec3[]", corners, 12 * std::size_t(callee("Array_Count").call(&corners)));
  values.refill(source);
  const Word mesh = callee("Mesh_Make").call(&corners);
  if (mesh) values.add("Mesh", mesh, 0);
  Call call;
  std::vector<unsigned char> before;
  std::vector<Word> words;
  for (int n = 0; n < 256 && !source.done(); ++n) {
    const std::size_t which = source.below(std::uint32_t(builder.exports().size()));
    builder.build(source, which, call);
    words.clear();
    for (const Arg& a : call.args) words.push_back(a.word);
    values.snapshot(before);
    const Word result = Word(calls[which]->call(words.data()));
    KV_FUZZ_CHECK(values.changed_outside(before, call.writes).empty());
    if (call.of->effect == Effect::Makes && result) KV_FUZZ_CHECK(result % 4 == 0 && !values.find(result));
    if (result && call.of->name == "Mesh_Make") callee("Mesh_Delete").call(std::vector<Word>{Word(result)}.data());
    builder.settle(call, result);
    for (const char* pool : {"Vec2", "Vec3", "Vec4", "Mat4", "Quat", "Frustum", "ViewPort"}) {
      KV_FUZZ_CHECK(frame::pool(pool_id(pool)).count() == std::size_t(values.pooled(pool)));
    }
  }
  frame::clean_up();
  return 0;
}

}  // namespace kv::test
