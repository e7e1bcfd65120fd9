// Stress run of the real DLL: calls drawn from the command table, row by row at
// random, with arguments built from each export's signature (values of the
// pools and of a guarded arena, outputs that are inputs now and then, floats of
// every class, object and camera numbers that exist and that do not), the
// substitute host bound, unbound or lacking an export in turns. After every call:
// no exception, nothing written outside what the call may write, the x87 control
// word and stack, MXCSR and the callee-saved registers as they were.
//
//   kv_stress.exe [--calls N] [--seed S]      the seed replays a failure
//   kv_stress.exe --checked ...                the checked build, with valid handles only:
//                                              it must report nothing
//   kv_stress.exe --digest ...                 also prints a hash of everything the calls
//                                              wrote and returned: the same seed and the
//                                              same behaviour give the same digest
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "harness/call.h"
#include "harness/plugin.h"
#include "host/host_api.h"
#include "hosts/layout.h"
#include "support/surface.h"

namespace {

using namespace kv::test::surface;

std::uint64_t seed = 1;
long call_number = -1;
const kv::test::surface::Call* current = nullptr;  // the call being made, for the reports
std::string describe(const kv::test::surface::Call& call);

[[noreturn]] void fail(const std::string& what) {
  std::printf("FAILED at call %ld (seed %llu): %s\n  %s\n  replay: kv_stress.exe --seed %llu --calls %ld\n", call_number,
              static_cast<unsigned long long>(seed), what.c_str(), current ? describe(*current).c_str() : "",
              static_cast<unsigned long long>(seed), call_number + 1);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 1);
  for (;;) {
  }
}

LONG WINAPI on_exception(EXCEPTION_POINTERS* e) {
  const DWORD code = e->ExceptionRecord->ExceptionCode;
  // Faults only: Wine raises and handles other exceptions of its own.
  const bool arithmetic = code >= 0xC000008Du && code <= 0xC0000095u;  // float and integer traps
  if (code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION || code == EXCEPTION_STACK_OVERFLOW ||
      code == EXCEPTION_PRIV_INSTRUCTION || arithmetic || code == 0xC00002B4u || code == 0xC00002B5u) {
    char what[64];
    std::snprintf(what, sizeof what, "exception 0x%08lX", static_cast<unsigned long>(code));
    fail(what);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

std::string describe(const Call& call) {
  std::string s = call.of->name + "(";
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    char word[48];
    if (call.args[i].letter == 'F') {
      std::snprintf(word, sizeof word, "%s%g", i ? ", " : "", double(call.args[i].f));
    } else {
      std::snprintf(word, sizeof word, "%s0x%lX", i ? ", " : "", static_cast<unsigned long>(call.args[i].word));
    }
    s += word;
  }
  return s + ")";
}

// The substitute host, and its records as they were before a call: a command may
// write an object's position, rotation and scale and a camera's projection and
// viewport, and no other byte of a record.
struct Host {
  HMODULE objects = LoadLibraryA("hosts\\full\\DBProBasic3DDebug.dll");
  HMODULE partial = LoadLibraryA("hosts\\partial\\DBProBasic3DDebug.dll");
  HMODULE cameras = LoadLibraryA("hosts\\full\\DBProCameraDebug.dll");
  std::vector<unsigned char*> records;  // objects 1–7, then cameras 0–3, 256 bytes each
  std::vector<unsigned char> before;

  void find_records() {
    using Get = unsigned char*(__cdecl*)(std::int32_t);
    auto object = kvt::function_at<Get>(GetProcAddress(objects, kv::host::kGetObjectName));
    auto camera = kvt::function_at<Get>(GetProcAddress(cameras, kv::host::kGetInternalDataName));
    for (int i = 1; i <= 7; ++i) records.push_back(object(i));
    for (int i = 0; i <= 3; ++i) records.push_back(camera(i));
  }
  void snapshot() {
    before.clear();
    for (unsigned char* r : records) before.insert(before.end(), r, r + 256);
  }
  bool records_keep_to_their_fields() const {
    for (std::size_t k = 0; k < records.size(); ++k) {
      const bool is_object = k < 7;
      for (std::size_t i = 0; i < 256; ++i) {
        const bool field = is_object ? (i >= kvt::layout::kObjectPosition && i < kvt::layout::kObjectScale + 12)
                                     : (i < 64 || (i >= kvt::layout::kCameraViewport && i < kvt::layout::kCameraViewport + 24));
        if (!field && records[k][i] != before[256 * k + i]) return false;
      }
    }
    return true;
  }
};

void bind(const kvt::Plugin& plugin, HMODULE objects, HMODULE cameras) {
  unsigned char core[256] = {};
  const std::uint32_t words[2] = {kvt::word(objects), kvt::word(cameras)};
  std::memcpy(core + kvt::layout::kCoreObjectsModule, &words[0], 4);
  std::memcpy(core + kvt::layout::kCoreCamerasModule, &words[1], 4);
  kvt::call(plugin.address("?ReceiveCoreDataPtr@@YAXPAX@Z"), {kvt::word(core)});
}

}  // namespace

int main(int argc, char** argv) {
  long calls = 200000;
  bool checked = false, digesting = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--checked")) checked = true;
    if (!std::strcmp(argv[i], "--digest")) digesting = true;
    if (i + 1 >= argc) continue;
    if (!std::strcmp(argv[i], "--calls")) calls = std::atol(argv[i + 1]);
    if (!std::strcmp(argv[i], "--seed")) seed = std::strtoull(argv[i + 1], nullptr, 10);
  }
  AddVectoredExceptionHandler(1, on_exception);
  const char* log = "checked\\stress.log";
  if (checked) DeleteFileA(log), SetEnvironmentVariableA("KESTROM_VANDU_LOG", log);
  const kvt::Plugin plugin(checked ? "checked\\Kestrom_Vandu.dll" : "Kestrom_Vandu.dll");
  const kv::test::TableFile table = kv::test::read_table_file("commands.tab");
  Host host;
  if (!host.objects || !host.partial || !host.cameras) {
    std::printf("the substitute host DLLs are missing\n");
    return 1;
  }
  host.find_records();
  Lcg source(seed);
  Values values;
  Builder builder(table, values, checked);
  std::vector<std::size_t> rows;  // one entry per row, the export it reaches: a row is picked, its export called
  for (const auto& [number, row] : table.rows) rows.push_back(builder.index_of(row.exportName));
  for (const auto& [name, state] : table.loose) rows.push_back(builder.index_of(name));
  std::vector<const void*> addresses;
  for (const Export& e : builder.exports()) addresses.push_back(plugin.address(e.name));
  for (const char* kind : kValueKinds) {
    for (int i = 0; i < 3; ++i) values.add(kind, kvt::call(plugin.address(std::string(kind) + "_MakeNew"), {}));
  }
  // Arrays of every kind, of three to seven elements (a Float array holds radii and
  // results); all of five for the checked build, which says when counts differ.
  const struct {
    const char* kind;
    std::size_t bytes;
  } arrays[] = {{"Vec2", 8}, {"Vec3", 12}, {"Vec4", 16}, {"Mat4", 64}, {"Float", 4}};
  for (const auto& a : arrays) {
    for (std::uint32_t count = 3; count <= 7; count += 2) {
      const std::uint32_t n = checked ? 5 : count;
      values.add(std::string(a.kind) + "[]", kvt::call(plugin.address(std::string(a.kind) + "_MakeArray"), {n}), n * a.bytes);
    }
  }
  // Two meshes of one triangle each (the checked build's arrays make one triangle:
  // a refit with any of them is valid), their corners' array freed once made.
  for (int i = 0; i < 2; ++i) {
    const std::uint32_t corners = kvt::call(plugin.address("Vec3_MakeArray"), {3});
    for (int k = 0; k < 9; ++k) kvt::as_pointer(corners)[k] = float(k * (i + 1) % 7) - 2.5f;
    values.add("Mesh", kvt::call(plugin.address("Mesh_Make"), {corners}), 0);
    kvt::call(plugin.address("Array_Delete"), {corners});
  }
  const kvt::CallEnv environments[] = {{0x027F, 0x1F80, 0}, {0x007F, 0x1F80, 4}, {0x037F, 0x9FC0, 8}, {0x027F, 0x1F80, 12}};
  Call call;
  // FNV-1a over each call's export, what it returned (for a new value only whether
  // it made one: its address is the heap's) and the words it wrote (not those of a
  // released value, which the pool's own bookkeeping overwrites). Every NaN counts
  // as one, and a NaN written is stored back as the one NaN for the calls after:
  // its sign and payload follow the order the compiler happened to give operands.
  std::uint64_t digest = 14695981039346656037ull;
  auto mix = [&](void* words, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 4) {
      std::uint32_t w;
      std::memcpy(&w, static_cast<unsigned char*>(words) + i, 4);
      if ((w & 0x7F800000u) == 0x7F800000u && (w & 0x7FFFFFu)) w = 0x7FC00000u;
      std::memcpy(static_cast<unsigned char*>(words) + i, &w, 4);
      for (int b = 0; b < 4; ++b) digest = (digest ^ ((w >> (8 * b)) & 0xFF)) * 1099511628211ull;
    }
  };
  std::vector<std::uint32_t> words;
  std::vector<unsigned char> before;
  const auto start = std::chrono::steady_clock::now();
  for (call_number = 0; call_number < calls; ++call_number) {
    if (call_number % 8192 == 0) values.refill(source);
    if (call_number % 4096 == 0) {
      const std::uint32_t mode = source.below(5);  // bound mostly, unbound or lacking an export now and then
      bind(plugin, mode == 3 ? nullptr : mode == 4 ? host.partial : host.objects, mode == 3 ? nullptr : host.cameras);
    }
    const std::size_t which = rows[source.below(std::uint32_t(rows.size()))];
    builder.build(source, which, call);
    if (call.skip) continue;
    current = &call;
    words.clear();
    for (const Arg& a : call.args) words.push_back(std::uint32_t(a.word));
    values.snapshot(before);
    host.snapshot();
    kvt::CallEnv env = environments[source.below(4)];
    // Flushing denormals to zero changes results by design, and where it does depends
    // on how the compiler laid the arithmetic out: the digest's calls run without it.
    if (digesting) env.mxcsr = 0x1F80;
    kvt::Preserved preserved;
    const kvt::CallOutcome out = kvt::call_guarded(addresses[which], words.data(), std::uint32_t(words.size()), env, &preserved);
    if (!preserved.intact()) fail("a callee-saved register or esp was not kept");
    if ((out.x87_control & 0xFFFF) != env.x87_control) fail("the x87 control word changed");
    if (out.x87_tags() != 0xFFFF) fail("the x87 stack is not empty");
    if ((out.mxcsr & ~0x3Fu) != env.mxcsr) fail("MXCSR changed");
    const std::string changed = values.changed_outside(before, call.writes);
    if (!changed.empty()) fail("wrote outside its outputs: " + changed);
    if (!host.records_keep_to_their_fields()) fail("wrote into a host record outside the fields it may write");
    if (call.of->effect == Effect::Makes && out.result) {
      if (out.result % 4 || values.find(out.result)) fail("a new value at a live value's address");
    }
    if (digesting) {
      std::uint32_t result = call.of->effect == Effect::Makes ? out.result != 0 : out.result;
      std::uint32_t which_word = std::uint32_t(which);
      mix(&which_word, 4);
      mix(&result, 4);
      for (const Region& r : call.writes) {
        if (call.of->effect != Effect::Deletes) mix(reinterpret_cast<void*>(r.at), r.bytes);
      }
    }
    // A new array or mesh is freed at once: the stress run keeps its own.
    if (out.result && call.of->name.find("_MakeArray") != std::string::npos) {
      kvt::call(plugin.address("Array_Delete"), {out.result});
    }
    if (out.result && call.of->name == "Mesh_Make") kvt::call(plugin.address("Mesh_Delete"), {out.result});
    builder.settle(call, out.result);
    // Keep a few values of each pool: release the oldest beyond six.
    if (call.of->effect == Effect::Makes && values.pooled(call.of->pool) > 6) {
      for (const Slot& s : values.slots()) {
        if (s.pooled && pool_of(s.kind) == call.of->pool) {
          const Word victim = s.handle;
          kvt::call(plugin.address(call.of->pool + "_Delete"), {std::uint32_t(victim)});
          values.remove(victim);
          break;
        }
      }
    }
  }
  if (checked) {
    const HANDLE reports = CreateFileA(log, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (reports != INVALID_HANDLE_VALUE) {
      char first[512] = {};
      DWORD read = 0;
      ReadFile(reports, first, sizeof first - 1, &read, nullptr);
      CloseHandle(reports);
      if (read > 0) fail(std::string("the checked build reported a valid call: ") + first);
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("stress: %ld calls over %zu rows, seed %llu, %.0f calls per second: no fault%s\n", calls, rows.size(),
              static_cast<unsigned long long>(seed), double(calls) / seconds, checked ? ", no report" : "");
  if (digesting) std::printf("digest %016llx\n", static_cast<unsigned long long>(digest));
  return 0;
}
