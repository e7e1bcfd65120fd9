#include "frame/pool.h"

#include <cstring>

#include "frame/platform.h"

// The steps of MakeNew and Delete, folded into them: a pair costs no calls inside the library.
#define KV_HOT inline __attribute__((always_inline))

namespace kv::frame {

// Every block is the same number of bytes; the block index files blocks under
// the aligned chunks of that size they overlap (at most two per block).
constexpr std::size_t kBlockBytes = 16384;
constexpr unsigned kChunkShift = 14;
static_assert(std::size_t{1} << kChunkShift == kBlockBytes);

struct Block {  // at the 8-byte alignment the heap gives
  Block* next;  // links of the store's list of open blocks
  Block* prev;
  ElementStore* store;
  Element* free;         // returned elements, linked through Element::next
  std::size_t used;      // elements handed out and not returned
  std::size_t carved;    // bytes of elements handed out at least once
  bool open;             // on the store's open list
};

namespace {

// Finds in constant time the block, if any, holding an address, so that Delete
// never reads memory the pools do not own: open addressing with linear probing
// over (chunk, block) pairs.
class BlockIndex {
 public:
  void reset() { slots_ = nullptr, mask_ = 0, shift_ = 0, used_ = 0, last_ = nullptr; }

  bool add(Block* block) {
    if ((used_ + 2) * 2 > mask_ + 1 && !grow()) return false;
    const std::uintptr_t first = chunk_of(begin(block));
    const std::uintptr_t last = chunk_of(begin(block) + kBlockBytes - 1);
    insert(first, block);
    if (last != first) insert(last, block);
    return true;
  }

  void remove(Block* block) {
    if (last_ == block) last_ = nullptr;
    erase(chunk_of(begin(block)), block);
    erase(chunk_of(begin(block) + kBlockBytes - 1), block);
  }

  // Values are often deleted near the ones deleted before them: the block found
  // last is tried first.
  Block* find(std::uintptr_t address) const {
    if (last_ && address - begin(last_) < kBlockBytes) return last_;
    if (!slots_) return nullptr;
    const std::uintptr_t chunk = chunk_of(address);
    for (std::size_t i = home(chunk); slots_[i].block; i = (i + 1) & mask_) {
      Block* b = slots_[i].block;
      if (slots_[i].chunk == chunk && address - begin(b) < kBlockBytes) return last_ = b;
    }
    return nullptr;
  }

 private:
  struct Slot {
    std::uintptr_t chunk;
    Block* block;  // null: an empty slot
  };

  static std::uintptr_t begin(const Block* b) { return reinterpret_cast<std::uintptr_t>(b); }
  static std::uintptr_t chunk_of(std::uintptr_t address) { return address >> kChunkShift; }
  // Fibonacci hashing: the top bits of chunk times 2^w / golden ratio.
  std::size_t home(std::uintptr_t chunk) const {
    constexpr std::uintptr_t golden = sizeof(std::uintptr_t) == 8 ? std::uintptr_t(0x9E3779B97F4A7C15ull) : 0x9E3779B9u;
    return static_cast<std::size_t>((chunk * golden) >> shift_);
  }

  void insert(std::uintptr_t chunk, Block* block) {
    std::size_t i = home(chunk);
    while (slots_[i].block) i = (i + 1) & mask_;
    slots_[i] = {chunk, block};
    ++used_;
  }

  void erase(std::uintptr_t chunk, Block* block) {
    std::size_t i = home(chunk);
    while (slots_[i].block && !(slots_[i].chunk == chunk && slots_[i].block == block)) i = (i + 1) & mask_;
    if (!slots_[i].block) return;  // the second chunk was the first one
    // Backward-shift deletion keeps every probe sequence unbroken.
    for (std::size_t j = (i + 1) & mask_; slots_[j].block; j = (j + 1) & mask_) {
      const std::size_t k = home(slots_[j].chunk);
      const bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
      if (!stays) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i] = {0, nullptr};
    --used_;
  }

  bool grow() {
    const std::size_t capacity = mask_ ? (mask_ + 1) * 2 : 64;
    auto* slots = static_cast<Slot*>(platform::heap_alloc(capacity * sizeof(Slot)));
    if (!slots) return false;
    std::memset(slots, 0, capacity * sizeof(Slot));
    Slot* old = slots_;
    const std::size_t old_capacity = mask_ ? mask_ + 1 : 0;
    slots_ = slots, mask_ = capacity - 1, used_ = 0;
    shift_ = 8 * sizeof(std::uintptr_t);
    for (std::size_t c = capacity; c > 1; c >>= 1) --shift_;
    for (std::size_t i = 0; i < old_capacity; ++i) {
      if (old[i].block) insert(old[i].chunk, old[i].block);
    }
    platform::heap_free(old);
    return true;
  }

  Slot* slots_ = nullptr;
  std::size_t mask_ = 0;
  unsigned shift_ = 0;
  std::size_t used_ = 0;
  mutable Block* last_ = nullptr;
};

BlockIndex block_index;

constexpr std::size_t kBlockHeader = (sizeof(Block) + 15) / 16 * 16;

std::uintptr_t elements_begin(const Block* b) { return reinterpret_cast<std::uintptr_t>(b) + kBlockHeader; }

// Zero-fills a value with stores of a size known at compile time.
void zero_value(void* value, std::size_t bytes) {
  switch (bytes) {
    case 8: std::memset(value, 0, 8); break;
    case 12: std::memset(value, 0, 12); break;
    case 16: std::memset(value, 0, 16); break;
    case 24: std::memset(value, 0, 24); break;
    case 64: std::memset(value, 0, 64); break;
    case 96: std::memset(value, 0, 96); break;
    default: std::memset(value, 0, bytes); break;
  }
}

}  // namespace

void ElementStore::reset(std::size_t value_size) {
  value_size_ = value_size;
  element_bytes_ = (sizeof(Element) + value_size + alignof(Element) - 1) / alignof(Element) * alignof(Element);
  carve_limit_ = (kBlockBytes - kBlockHeader) / element_bytes_ * element_bytes_;
  // Exact division by the element size as a shift and a multiplication by the
  // inverse of its odd part: Delete tells an element's start from any other
  // address without a division instruction.
  shift_ = 0;
  std::uintptr_t odd = element_bytes_;
  while (!(odd & 1)) odd >>= 1, ++shift_;
  inverse_ = odd;  // Newton's iteration doubles the correct low bits each step
  for (int i = 0; i < 5; ++i) inverse_ *= 2 - odd * inverse_;
  limit_ = ~std::uintptr_t{0} / odd;
  per_element_ = 1.0 / double(element_bytes_);
  low_bits_ = (std::uintptr_t{1} << shift_) - 1;
  open_ = nullptr;
  spare_ = nullptr;
  quarantined_ = nullptr;  // the heap it was on is gone
  quarantine_first_ = quarantine_count_ = 0;
}

Block* ElementStore::new_block() {
  auto* b = static_cast<Block*>(platform::heap_alloc(kBlockBytes));
  if (!b) return nullptr;
  if (!block_index.add(b)) {
    platform::heap_free(b);
    return nullptr;
  }
  *b = Block{nullptr, nullptr, this, nullptr, 0, 0, false};
  return b;
}

void ElementStore::push_open(Block* b) {
  b->prev = nullptr;
  b->next = open_;
  if (open_) open_->prev = b;
  open_ = b;
  b->open = true;
}

void ElementStore::unlink_open(Block* b) {
  if (b->prev) b->prev->next = b->next; else open_ = b->next;
  if (b->next) b->next->prev = b->prev;
  b->open = false;
}

KV_HOT Element* ElementStore::take() {
  if (!open_) {
    Block* b = new_block();
    if (!b) return nullptr;
    push_open(b);
  }
  Block* b = open_;
  if (b == spare_) spare_ = nullptr;
  Element* e;
  if (b->free) {
    e = b->free;
    b->free = e->next;
  } else {
    e = reinterpret_cast<Element*>(elements_begin(b) + b->carved);
    b->carved += element_bytes_;
  }
  ++b->used;
  if (!b->free && b->carved == carve_limit_) unlink_open(b);
  e->block = b;
  return e;
}

KV_HOT void ElementStore::give_back(Element* e) {
  e->tag = 0;
#ifdef KV_CHECKED
  if (quarantine(e)) return;
#endif
  release(e);
}

bool ElementStore::quarantine(Element* e) {
  if (!quarantined_) {
    quarantined_ = static_cast<Element**>(platform::heap_alloc((kQuarantined + 1) * sizeof(Element*)));
    if (!quarantined_) return false;
  }
  quarantined_[(quarantine_first_ + quarantine_count_++) % (kQuarantined + 1)] = e;
  while (quarantine_count_ > kQuarantined || quarantine_count_ * value_size_ > kQuarantineBytes) {
    release(quarantined_[quarantine_first_]);
    quarantine_first_ = (quarantine_first_ + 1) % (kQuarantined + 1);
    --quarantine_count_;
  }
  return true;
}

KV_HOT void ElementStore::release(Element* e) {
  Block* b = e->block;
  e->next = b->free;
  b->free = e;
  --b->used;
  if (!b->open) push_open(b);
  if (b->used > 0) return;
  if (!spare_) {
    spare_ = b;
    return;
  }
  unlink_open(b);
  block_index.remove(b);
  platform::heap_free(b);
}

KV_HOT Element* ElementStore::element_at(Handle address) const {
  Block* b = block_index.find(address);
  if (!b || b->store != this) return nullptr;
  // Below the first element the offset wraps round and fails the first test.
  const std::uintptr_t offset = address - (elements_begin(b) + sizeof(Element));
  if (offset >= b->carved || (offset & low_bits_) != 0 || (offset >> shift_) * inverse_ > limit_) return nullptr;
  return reinterpret_cast<Element*>(address - sizeof(Element));
}

// The element's number within its block by a multiplication: offsets are below
// 2^14, so (offset + ½) / size in double never falls short of a whole number.
Element* ElementStore::element_holding(Handle address) const {
  Block* b = block_index.find(address);
  if (!b || b->store != this || address < elements_begin(b)) return nullptr;
  const std::uintptr_t offset = address - elements_begin(b);
  if (offset >= b->carved) return nullptr;
  const int number = int((int(offset) + 0.5) * per_element_);
  return reinterpret_cast<Element*>(elements_begin(b) + number * element_bytes_);
}

void Pool::reset(ElementStore* store, std::uintptr_t key) {
  store_ = store;
  key_ = key;
  first_ = last_ = current_ = nullptr;
  count_ = 0;
}

Handle Pool::make_new() {
  Element* e = store_->take();
  if (!e) return 0;
  const Handle value = reinterpret_cast<Handle>(e + 1);
  zero_value(e + 1, store_->value_size());
  e->tag = key_;
  e->prev = current_;
  e->next = current_ ? current_->next : first_;
  if (e->next) e->next->prev = e; else last_ = e;
  if (e->prev) e->prev->next = e; else first_ = e;
  current_ = e;
  ++count_;
  return value;
}

KV_HOT Element* Pool::live_element(Handle handle) const {
  Element* e = store_->element_at(handle);
  return e && e->tag == key_ ? e : nullptr;
}

void Pool::remove(Handle handle) {
  Element* e = live_element(handle);
  if (!e) return;
  if (e->prev) e->prev->next = e->next; else first_ = e->next;
  if (e->next) e->next->prev = e->prev; else last_ = e->prev;
  current_ = e->prev;
  --count_;
  store_->give_back(e);
}

bool Pool::holds(Handle handle) const { return live_element(handle) != nullptr; }
bool Pool::owns(const Element& e) const { return e.tag == key_; }

Handle Pool::first() const { return first_ ? reinterpret_cast<Handle>(first_ + 1) : 0; }
Handle Pool::last() const { return last_ ? reinterpret_cast<Handle>(last_ + 1) : 0; }

Handle Pool::next(Handle handle) const {
  Element* e = live_element(handle);
  return e && e->next ? reinterpret_cast<Handle>(e->next + 1) : 0;
}

namespace {

// Value sizes by pool; pools of equal value size share a store.
constexpr std::size_t kValueBytes[] = {8, 12, 16, 64, 16, 96, 24};
constexpr int kPools = static_cast<int>(PoolId::Count);
static_assert(sizeof kValueBytes / sizeof kValueBytes[0] == kPools);

ElementStore stores[kPools];
constexpr std::uintptr_t kFirstKey = 0x5A17;

}  // namespace

Pool pools[kPools];

void pools_create() {
  block_index.reset();
  int store_count = 0;
  for (int p = 0; p < kPools; ++p) {
    ElementStore* store = nullptr;
    for (int s = 0; s < store_count; ++s) {
      if (stores[s].value_size() == kValueBytes[p]) store = &stores[s];
    }
    if (!store) {
      store = &stores[store_count++];
      store->reset(kValueBytes[p]);
    }
    // Keys are odd and distinct, so a free element (tag 0) never passes for a live one.
    pools[p].reset(store, kFirstKey + 2u * static_cast<unsigned>(p));
  }
}

void pools_forget() { pools_create(); }

Place locate(Handle address) {
  Block* b = block_index.find(address);
  if (!b) return {Place::Outside, PoolId::Count, 0, 0};
  const Element* e = b->store->element_holding(address);
  const Handle value = reinterpret_cast<Handle>(e + 1);
  const std::uintptr_t p = e ? (e->tag - kFirstKey) / 2 : kPools;  // the keys are kFirstKey + 2 × pool
  if (p < kPools && pools[p].owns(*e) && address >= value && address - value < b->store->value_size()) {
    return {Place::InValue, static_cast<PoolId>(p), value, b->store->value_size()};
  }
  return {Place::NoValue, PoolId::Count, 0, 0};
}

}  // namespace kv::frame
