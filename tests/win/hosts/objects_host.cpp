// Stand-in for the host's 3D objects DLL: a few object records with position,
// rotation and scale at the host's offsets, a world matrix per object, and a log
// of the calls for the tests to inspect. Object 9 answers with an address that
// is negative as a signed integer, which must never be read.
#include <cstdint>
#include <cstring>

#include "hosts/layout.h"

namespace {

constexpr int kObjects = 8;  // object numbers 1 to 7 exist

struct ObjectRecord {
  unsigned char bytes[256];
};

ObjectRecord records[kObjects];
float worlds[kObjects][16];
int last_get_object = -1, last_get_selector = -1, last_set_object = -1;
char calls[64];  // one letter per call since the reset: O GetObjectA, G GetWorldMatrix, S SetWorldMatrix
int call_count;

void log_call(char letter) {
  if (call_count < int(sizeof calls) - 1) calls[call_count++] = letter;
  calls[call_count] = '\0';
}

bool exists(std::int32_t object) { return object >= 1 && object < kObjects; }

void put3(unsigned char* record, std::size_t offset, float x, float y, float z) {
  const float v[3] = {x, y, z};
  std::memcpy(record + offset, v, sizeof v);
}

}  // namespace

extern "C" void* __cdecl host_GetObjectA(std::int32_t object) {
  log_call('O');
  if (object == 9) return reinterpret_cast<void*>(std::uintptr_t(0xFFFF0000u));
  return exists(object) ? &records[object] : nullptr;
}

extern "C" void __cdecl host_GetWorldMatrix(std::int32_t object, std::int32_t selector, float* matrix) {
  log_call('G');
  last_get_object = object, last_get_selector = selector;
  if (exists(object)) std::memcpy(matrix, worlds[object], sizeof worlds[object]);
}

extern "C" void __cdecl host_SetWorldMatrix(std::int32_t object, float* matrix) {
  log_call('S');
  last_set_object = object;
  if (exists(object)) std::memcpy(worlds[object], matrix, sizeof worlds[object]);
}

// Test controls: every object back at the origin, unrotated, unit scale, identity world.
extern "C" void __cdecl SubstituteHost_ResetObjects() {
  std::memset(records, 0xCD, sizeof records);  // fields the library must not touch
  for (int i = 0; i < kObjects; ++i) {
    put3(records[i].bytes, kvt::layout::kObjectPosition, 0, 0, 0);
    put3(records[i].bytes, kvt::layout::kObjectRotation, 0, 0, 0);
    put3(records[i].bytes, kvt::layout::kObjectScale, 1, 1, 1);
    for (int e = 0; e < 16; ++e) worlds[i][e] = e % 5 == 0 ? 1.0f : 0.0f;
  }
  last_get_object = last_get_selector = last_set_object = -1;
  call_count = 0, calls[0] = '\0';
}

extern "C" const char* __cdecl SubstituteHost_ObjectCalls() { return calls; }
extern "C" void __cdecl SubstituteHost_ClearCalls() { call_count = 0, calls[0] = '\0'; }

extern "C" void __cdecl SubstituteHost_LastWorldCalls(int* get_object, int* get_selector, int* set_object) {
  *get_object = last_get_object, *get_selector = last_get_selector, *set_object = last_set_object;
}
