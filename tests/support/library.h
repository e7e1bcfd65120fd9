// Shared helpers of the native unit tests: a fixture that loads and unloads the
// library around each test, handles from plain memory, and float bit helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "frame/abi.h"
#include "frame/platform.h"
#include "frame/plugin.h"

namespace kv::test {

// Each test runs between a process attach and a process detach.
class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::fake::set_allocation_budget(-1);
    platform::fake::set_resolver(nullptr);
    platform::fake::clear_messages();
    frame::set_up();
  }
  void TearDown() override {
    frame::clean_up();
    platform::fake::set_allocation_budget(-1);
  }
};

template <class T>
Handle h(T* p) {
  return reinterpret_cast<Handle>(p);
}

inline float* at(Handle h) { return reinterpret_cast<float*>(h); }

inline FloatBits bits(float f) { return bits_of(f); }

inline float from_bits(FloatBits b) { return float_of(b); }

// A quiet NaN with a payload, and a signalling one: both must pass through
// getters, setters and copies unchanged.
inline float quiet_nan_with_payload() { return from_bits(0x7FC12345u); }
inline float signalling_nan() { return from_bits(0x7F800001u); }

}  // namespace kv::test
