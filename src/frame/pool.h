// Value pools: where every vector, matrix, quaternion, plane and frustum lives
// from its MakeNew to its Delete or to unload.
//
// A pool is a doubly linked list of elements; an element is its two links, a
// tag, its block, and then the value's bytes. The handle is the address of the
// value's bytes, so the element is found from it by subtraction. Elements are
// carved from fixed-size blocks of the private heap; pools whose values have the
// same size share one element store.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/abi.h"

namespace kv::frame {

struct Block;

struct Element {
  Element* next;
  Element* prev;
  std::uintptr_t tag;  // the owning pool's key while live, 0 while free
  Block* block;
};

class ElementStore {
 public:
  void reset(std::size_t value_size);
  std::size_t value_size() const { return value_size_; }
  Element* take();  // null when no block can be had
  // Returns an element for reuse; the checked build keeps the latest ones out of
  // reuse for a while first (see quarantine).
  void give_back(Element* element);
  // The element whose value bytes start at `address`, if the address lies on an
  // element of one of this store's blocks; null for any other address.
  Element* element_at(Handle address) const;
  // The element whose bytes (links or value) hold `address`, in a block of this
  // store; null for any other address.
  Element* element_holding(Handle address) const;

 private:
  Block* new_block();
  void push_open(Block* block);
  void unlink_open(Block* block);
  void release(Element* element);
  // The checked build: freed elements wait here, the oldest first out, while there
  // are more than kQuarantined of them or more than kQuarantineBytes of values, so
  // that a stale handle is still named after the next MakeNew.
  bool quarantine(Element* element);

  Element** quarantined_ = nullptr;  // a ring of kQuarantined + 1 places, on the heap
  std::size_t quarantine_first_ = 0, quarantine_count_ = 0;

  std::size_t value_size_ = 0;
  std::size_t element_bytes_ = 0;
  std::size_t carve_limit_ = 0;  // bytes of elements a block holds
  unsigned shift_ = 0;           // element size = odd << shift_
  std::uintptr_t inverse_ = 0;   // odd * inverse_ == 1 modulo 2^w
  std::uintptr_t limit_ = 0;     // largest quotient of an exact division by odd
  std::uintptr_t low_bits_ = 0;  // (1 << shift_) - 1
  double per_element_ = 0;       // 1 / element size
  Block* open_ = nullptr;   // blocks with a free or uncarved element
  Block* spare_ = nullptr;  // one empty block kept back, so a make/delete pair costs no heap call
};

class Pool {
 public:
  void reset(ElementStore* store, std::uintptr_t key);
  // A zero-filled value linked in after the current element; 0 when no memory.
  Handle make_new();
  // Releases the value; ignores any handle that is not a live value of this pool.
  void remove(Handle handle);
  bool holds(Handle handle) const;
  bool owns(const Element& e) const;  // a live element of this pool
  std::size_t count() const { return count_; }
  Handle first() const;
  Handle last() const;
  Handle next(Handle handle) const;

 private:
  Element* live_element(Handle handle) const;

  ElementStore* store_ = nullptr;
  std::uintptr_t key_ = 0;
  Element* first_ = nullptr;
  Element* last_ = nullptr;
  Element* current_ = nullptr;
  std::size_t count_ = 0;
};

enum class PoolId { Vec2, Vec3, Vec4, Mat4, Quat, Frustum, ViewPort, Count };

// How many freed values the checked build keeps out of reuse per element store,
// and how many bytes of them at most.
constexpr std::size_t kQuarantined = 4096;
constexpr std::size_t kQuarantineBytes = 1 << 20;

// Where an address lies, for the checked build: in the value of a live element
// (its pool, where the value starts, its bytes), in the pools' memory but in no
// live value (a deleted value, or between values), or outside the pools.
struct Place {
  enum Where { Outside, NoValue, InValue } where;
  PoolId pool;
  Handle value;
  std::size_t bytes;
};
Place locate(Handle address);

// Creates the pools, empty, at set-up; forgets them at clean-up, when the heap
// that held every value is destroyed.
void pools_create();
void pools_forget();

extern Pool pools[static_cast<int>(PoolId::Count)];
inline Pool& pool(PoolId id) { return pools[static_cast<int>(id)]; }

}  // namespace kv::frame
