// The host's records as the commands reach them: one call to the bound host
// function per command, and the fields read and written at their byte offsets
// (host_api.h), nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/host_api.h"

namespace kv::host {

using Record = unsigned char*;

// The record of an object or a camera, or null when there is none to work on:
// the host answers 0 or an address that is negative as a signed integer, or its
// function was never bound (before the handshake, or a host DLL without it).
Record object_record(std::int32_t object);
Record camera_record(std::int32_t camera);

template <class T>
T read(Record record, std::size_t offset) {
  T value;
  std::memcpy(&value, record + offset, sizeof value);
  return value;
}

template <class T>
void write(Record record, std::size_t offset, const T& value) {
  std::memcpy(record + offset, &value, sizeof value);
}

}  // namespace kv::host
