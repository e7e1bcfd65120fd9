// The whole command surface as the command table describes it, for stress runs
// and fuzzing: values to work on (made by the plug-in's pools, and laid out with
// guard bytes in an arena of our own), arguments built from each export's
// signature, and the check that a call changed nothing but what it may write.
// Portable: the Win32 stress run and the native fuzzer share it and differ only
// in how they call an export.
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/table_file.h"

namespace kv::test::surface {

using Word = std::uintptr_t;

// Bytes of a value of each kind; 0 for kinds that are not values.
inline std::size_t value_bytes(const std::string& kind) {
  if (kind == "Vec2") return 8;
  if (kind == "Vec3") return 12;
  if (kind == "Vec4" || kind == "Quat" || kind == "Plane") return 16;
  if (kind == "ViewPort") return 24;
  if (kind == "Mat4") return 64;
  if (kind == "Frustum") return 96;
  return 0;
}

// Bytes of an element of an array kind ("Vec3[]"), 0 for any other kind.
inline std::size_t element_bytes(const std::string& kind) {
  if (kind.size() < 3 || kind.compare(kind.size() - 2, 2, "[]") != 0) return 0;
  return kind == "Float[]" ? 4 : value_bytes(kind.substr(0, kind.size() - 2));
}

// The pool a kind's MakeNew and Delete use: planes share the Vec4 pool.
inline std::string pool_of(const std::string& kind) {
  if (!kind.empty() && kind.back() == ']') return "Array";  // arrays are freed by Array_Delete
  return kind == "Plane" ? "Vec4" : kind;
}

const char* const kValueKinds[] = {"Vec2", "Vec3", "Vec4", "Quat", "Plane", "Mat4", "Frustum", "ViewPort"};

// Where the choices come from: a seeded generator, or a fuzzer's bytes.
class Source {
 public:
  virtual ~Source() = default;
  virtual std::uint32_t bits() = 0;
  std::uint32_t below(std::uint32_t bound) { return bound ? bits() % bound : 0; }
  bool one_in(std::uint32_t n) { return below(n) == 0; }

  // 0, −0, ±1, small and huge magnitudes, denormals, ±inf and NaN.
  float any_float() {
    const float sign = one_in(2) ? -1.0f : 1.0f;
    switch (below(10)) {
      case 0: return sign * 0.0f;
      case 1: return sign;
      case 2: return sign * float(std::ldexp(1.0 + below(1 << 20) / double(1 << 20), int(below(40)) - 20));
      case 3: return sign * float(std::ldexp(1.0 + below(1 << 20) / double(1 << 20), int(below(20)) + 100));
      case 4: return sign * std::numeric_limits<float>::denorm_min() * float(1 + below(1 << 20));
      case 5: return sign * std::numeric_limits<float>::infinity();
      case 6: return std::numeric_limits<float>::quiet_NaN();
      case 7: return sign * std::numeric_limits<float>::max();
      default: return sign * float(below(2001)) / 100.0f;  // ordinary values, −20..20
    }
  }
};

class Lcg : public Source {
 public:
  explicit Lcg(std::uint64_t seed) : state_(seed * 6364136223846793005ull + 1442695040888963407ull) {}
  std::uint32_t bits() override {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return std::uint32_t(state_ >> 33);
  }

 private:
  std::uint64_t state_;
};

// A value the calls may use: made by a pool (its handle came from MakeNew) or in
// the arena between guard bytes.
struct Slot {
  std::string kind;
  Word handle;
  bool pooled;
  std::size_t bytes;
};

// A byte range a command may write.
struct Region {
  Word at;
  std::size_t bytes;
};

constexpr std::size_t kGuard = 16;
constexpr unsigned char kGuardByte = 0xA5;

class Values {
 public:
  // For each value kind, `arena` values of our own, at varied 4-byte offsets.
  explicit Values(int arena_per_kind = 3) {
    std::size_t size = 0;
    for (const char* kind : kValueKinds) size += arena_per_kind * (value_bytes(kind) + 2 * kGuard + 16);
    arena_.assign(size, kGuardByte);
    std::size_t at = 0;
    for (const char* kind : kValueKinds) {
      for (int i = 0; i < arena_per_kind; ++i) {
        const std::size_t start = at + kGuard + 4 * (i % 4);
        slots_.push_back({kind, reinterpret_cast<Word>(arena_.data() + start), false, value_bytes(kind)});
        at += value_bytes(kind) + 2 * kGuard + 16;
      }
    }
  }

  const std::vector<Slot>& slots() const { return slots_; }
  void add(const std::string& kind, Word handle, std::size_t bytes = 0) {
    slots_.push_back({kind, handle, true, bytes ? bytes : value_bytes(kind)});
  }
  void remove(Word handle) {
    slots_.erase(std::remove_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.pooled && s.handle == handle; }),
                 slots_.end());
  }
  const Slot* find(Word handle) const {
    for (const Slot& s : slots_) {
      if (s.handle == handle) return &s;
    }
    return nullptr;
  }
  int pooled(const std::string& pool) const {
    return int(std::count_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.pooled && pool_of(s.kind) == pool; }));
  }

  // New contents for every value: anything a script may hold, NaN and infinities included.
  void refill(Source& source) {
    for (const Slot& s : slots_) {
      for (std::size_t i = 0; i < s.bytes / 4; ++i) {
        const float f = source.any_float();
        std::memcpy(reinterpret_cast<void*>(s.handle + 4 * i), &f, 4);
      }
    }
  }

  // Every value's bytes, and the arena whole, guards included.
  void snapshot(std::vector<unsigned char>& bytes) const {
    bytes.assign(arena_.begin(), arena_.end());
    for (const Slot& s : slots_) {
      if (s.pooled) bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(s.handle),
                                 reinterpret_cast<const unsigned char*>(s.handle) + s.bytes);
    }
  }

  // What changed against a snapshot outside the regions a call may write; empty when nothing did.
  std::string changed_outside(const std::vector<unsigned char>& before, const std::vector<Region>& allowed) const {
    auto permitted = [&](Word address) {
      return std::any_of(allowed.begin(), allowed.end(), [&](const Region& r) { return address >= r.at && address < r.at + r.bytes; });
    };
    std::size_t offset = arena_.size();
    if (std::memcmp(arena_.data(), before.data(), arena_.size()) != 0) {
      for (std::size_t i = 0; i < arena_.size(); ++i) {
        const Word address = reinterpret_cast<Word>(arena_.data() + i);
        if (arena_[i] != before[i] && !permitted(address)) return "arena byte " + std::to_string(i) + what(address);
      }
    }
    for (const Slot& s : slots_) {
      if (!s.pooled) continue;
      if (offset + s.bytes > before.size()) return "a value appeared";
      const unsigned char* now = reinterpret_cast<const unsigned char*>(s.handle);
      if (std::memcmp(now, before.data() + offset, s.bytes) != 0) {
        for (std::size_t i = 0; i < s.bytes; ++i) {
          if (now[i] != before[offset + i] && !permitted(s.handle + i)) return "byte " + std::to_string(i) + " of a pooled " + s.kind;
        }
      }
      offset += s.bytes;
    }
    return "";
  }

 private:
  std::string what(Word address) const {
    for (const Slot& s : slots_) {
      if (!s.pooled && address >= s.handle - kGuard && address < s.handle + s.bytes + kGuard) {
        const bool inside = address >= s.handle && address < s.handle + s.bytes;
        return std::string(inside ? " inside " : " in the guard of ") + "an arena " + s.kind;
      }
    }
    return "";
  }

  std::vector<unsigned char> arena_;
  std::vector<Slot> slots_;
};

// One argument: its word for a call (a handle, an integer or a float's bits).
struct Arg {
  char letter;  // 'L' or 'F'
  Word word;
  float f;
};

enum class Effect { None, Makes, Deletes };

// An export as the builder sees it.
struct Export {
  std::string name, type;  // type: the value type it is named after (Vec3, Mat4, …)
  const Signature* sig;
  Effect effect;
  std::string pool;  // of a MakeNew or Delete
};

// A call to build: the export, its arguments and what it may write.
struct Call {
  const Export* of = nullptr;
  std::vector<Arg> args;
  std::vector<Region> writes;
  bool deletes_live = false;  // a Delete of a live value of its own pool
  bool skip = false;          // no call to make: a Delete with no live value to release, when only valid calls are made
};

// Object numbers and camera numbers the substitute host knows (1–7, 0–3), does not
// know, and answers with a negative address (9).
const std::int32_t kObjects[] = {-1, 0, 1, 2, 3, 7, 8, 9, 100000};
const std::int32_t kCameras[] = {-1, 0, 1, 2, 3, 4, 5, 9};
const std::int32_t kInts[] = {0, 1, -1, 2, 3, 10, 100, 640, 480, -640, 65535, INT32_MAX, INT32_MIN};

class Builder {
 public:
  // With `valid_only`, every handle is one a script may pass: a Delete releases a
  // live value of its own pool, or is not made at all.
  Builder(const TableFile& table, Values& values, bool valid_only = false) : values_(values), valid_only_(valid_only) {
    for (const auto& [name, sig] : table.sigs) {
      Export e{name, name.substr(0, name.find('_')), &sig, Effect::None, ""};
      if (name.find("_MakeNew") != std::string::npos) e.effect = Effect::Makes;
      if (name.find("_Delete") != std::string::npos) e.effect = Effect::Deletes;
      e.pool = pool_of(e.type);
      exports_.push_back(e);
    }
  }
  const std::vector<Export>& exports() const { return exports_; }
  std::size_t index_of(const std::string& name) const {
    for (std::size_t i = 0; i < exports_.size(); ++i) {
      if (exports_[i].name == name) return i;
    }
    return exports_.size();
  }

  // Arguments for export number `which`, into `call` (its vectors are reused).
  void build(Source& source, std::size_t which, Call& call) {
    const Export& e = exports_[which];
    call.of = &e;
    call.writes.clear();
    call.deletes_live = false;
    call.skip = false;
    const Signature& sig = *e.sig;
    call.args.assign(sig.params.size(), Arg{'L', 0, 0});
    chosen_.assign(sig.params.size(), nullptr);
    std::vector<const Slot*>& chosen = chosen_;
    // Inputs first, then outputs, which now and then are one of the inputs.
    for (int pass = 0; pass < 2; ++pass) {
      for (std::size_t i = 0; i < sig.params.size(); ++i) {
        const Param& p = sig.params[i];
        if (!p.is_handle() || p.written != (pass == 1)) continue;
        if (e.effect == Effect::Deletes) {
          call.args[i] = {'L', deletion_target(source, call, e.pool), 0};
          call.skip = valid_only_ && !call.deletes_live;
          // A value deleted for real may change (the pool reuses its memory); nothing else may.
          if (call.deletes_live) call.writes.push_back({call.args[i].word, values_.find(call.args[i].word)->bytes});
          continue;
        }
        if (p.optional && source.one_in(4)) {
          call.args[i] = {'L', 0, 0};
          continue;
        }
        const Slot* slot = nullptr;
        Word at = 0;
        if (pass == 1 && source.one_in(3)) slot = alias(source, chosen, p.kind);
        if (slot) {  // the output anywhere inside the input (inside one element of an array): its start, or a float further on
          const std::size_t room = element_bytes(slot->kind) ? element_bytes(slot->kind) : slot->bytes;
          at = 4 * Word(source.below(std::uint32_t((room - value_bytes(p.kind)) / 4 + 1)));
          if (element_bytes(slot->kind)) at += room * source.below(std::uint32_t(slot->bytes / room));
        } else {
          // An array that must be of another's kind (source:Array@destination): of the kind chosen for it.
          std::string kind = p.kind;
          for (std::size_t q = 0; q < sig.params.size() && p.is_array(); ++q) {
            const bool tied = sig.params[q].extent == p.name || p.extent == sig.params[q].name;
            if (tied && chosen[q] && (valid_only_ || !source.one_in(4))) kind = chosen[q]->kind;
          }
          slot = pick(source, kind);
          // A value taken from an array: one of its elements.
          if (slot && !p.is_array() && element_bytes(slot->kind)) {
            at = element_bytes(slot->kind) * source.below(std::uint32_t(slot->bytes / element_bytes(slot->kind)));
          }
        }
        chosen[i] = slot;
        call.args[i] = {'L', slot ? slot->handle + at : 0, 0};
        // A direction, where one is wanted: random values may be (0, 0, 0) or NaN.
        static const float direction[3] = {0.25f, 1, -0.5f};
        if (p.rule == "~direction" && (valid_only_ || source.one_in(2))) call.args[i] = {'L', Word(direction), 0}, chosen[i] = nullptr;
      }
    }
    for (std::size_t i = 0; i < sig.params.size(); ++i) {
      const Param& p = sig.params[i];
      if (p.is_handle()) continue;
      if (p.is_float()) {
        float f = source.any_float();
        if (p.rule.rfind("=", 0) == 0 && (valid_only_ || !source.one_in(4))) {  // within its range
          const float lo = std::stof(p.rule.substr(1)), hi = std::stof(p.rule.substr(p.rule.find("..") + 2));
          f = lo + (hi - lo) * float(source.below(1001)) / 1000;
        }
        Word w = 0;
        std::memcpy(&w, &f, 4);
        call.args[i] = {'F', w, f};
      } else {
        call.args[i] = {'L', Word(std::uint32_t(integer(source, p, chosen))), 0};
      }
    }
    for (std::size_t i = 0; i < sig.params.size(); ++i) {
      const Param& p = sig.params[i];
      if (!p.written || !call.args[i].word) continue;
      if (p.kind == "Value" && !p.extent.empty() && std::isdigit(static_cast<unsigned char>(p.extent[0]))) {
        call.writes.push_back({call.args[i].word, std::size_t(std::stoul(p.extent))});  // its first bytes
      } else if (p.kind == "Value") {  // one float, at the index that follows
        call.writes.push_back({call.args[i].word + 4 * Word(std::uint32_t(call.args[i + 1].word)), 4});
      } else if (p.is_array()) {  // the whole array, when it is one
        call.writes.push_back({call.args[i].word, chosen[i] ? chosen[i]->bytes : 0});
      } else {
        call.writes.push_back({call.args[i].word, value_bytes(p.kind)});
      }
    }
  }

 private:
  const Slot* pick(Source& source, const std::string& kind) {
    std::vector<const Slot*>& fit = fit_;
    fit.clear();
    const bool any_array = kind == "Array";
    for (const Slot& s : values_.slots()) {
      if ((kind == "Value" && s.kind != "Mesh") || s.kind == kind || (any_array && s.kind.back() == ']')) fit.push_back(&s);
    }
    return fit.empty() ? nullptr : fit[source.below(std::uint32_t(fit.size()))];
  }

  // An input at least as large as the output kind, so the output lies inside it.
  const Slot* alias(Source& source, const std::vector<const Slot*>& chosen, const std::string& kind) {
    std::vector<const Slot*>& fit = fit_;
    fit.clear();
    for (const Slot* s : chosen) {
      const std::size_t room = s && element_bytes(s->kind) ? element_bytes(s->kind) : s ? s->bytes : 0;
      if (s && room >= value_bytes(kind) && kind != "Value" && value_bytes(kind)) fit.push_back(s);
    }
    return fit.empty() ? nullptr : fit[source.below(std::uint32_t(fit.size()))];
  }

  // A live value of the pool (deleted for real), or a handle Delete must ignore:
  // another pool's value, an arena value, a pointer inside a value, a stale handle, 0.
  Word deletion_target(Source& source, Call& call, const std::string& pool) {
    std::vector<const Slot*> own, other;
    for (const Slot& s : values_.slots()) (s.pooled && pool_of(s.kind) == pool ? own : other).push_back(&s);
    switch (valid_only_ ? 0 : source.below(6)) {
      case 0:
      case 1:  // the run keeps its arrays and meshes: their Delete gets everything else
        if (!own.empty() && values_.pooled(pool) > 1 && pool != "Array" && pool != "Mesh") {
          call.deletes_live = true;
          return own[source.below(std::uint32_t(own.size()))]->handle;
        }
        return 0;
      case 2: return other.empty() ? 0 : other[source.below(std::uint32_t(other.size()))]->handle;
      case 3: return own.empty() ? 0 : own[source.below(std::uint32_t(own.size()))]->handle + 4;
      case 4: return stale_.empty() ? 0 : stale_[source.below(std::uint32_t(stale_.size()))];
      default: return 0;
    }
  }

  std::int32_t integer(Source& source, const Param& p, const std::vector<const Slot*>& chosen) {
    if (p.kind == "Index" || p.kind == "Element") {  // a float of the value (of an array's element), an element of the array
      const Slot* value = nullptr;
      for (const Slot* s : chosen) value = value ? value : s;
      if (!value) return 0;
      const std::size_t element = element_bytes(value->kind);
      if (p.kind == "Element") return element && (valid_only_ || !source.one_in(4)) ? std::int32_t(source.below(std::uint32_t(value->bytes / element))) : kInts[source.below(13)];
      return std::int32_t(source.below(std::uint32_t((element ? element : value->bytes) / 4)));
    }
    if (p.rule.rfind("=", 0) == 0 && (valid_only_ || !source.one_in(4))) {  // within its range
      const int lo = std::stoi(p.rule.substr(1)), hi = std::stoi(p.rule.substr(p.rule.find("..") + 2));
      return lo + std::int32_t(source.below(std::uint32_t(hi - lo + 1)));
    }
    if (p.kind == "Row" || p.kind == "Column") return std::int32_t(1 + source.below(4));
    if (p.kind == "Object") return kObjects[source.below(sizeof kObjects / sizeof *kObjects)];
    if (p.kind == "Camera") return kCameras[source.below(sizeof kCameras / sizeof *kCameras)];
    if (p.kind == "Flag") return std::int32_t(source.below(3)) - 1;
    if (p.kind == "Selector") return std::int32_t(source.bits());
    return source.one_in(4) ? std::int32_t(source.bits()) : kInts[source.below(sizeof kInts / sizeof *kInts)];
  }

 public:
  // After a call: a made value joins the values, a deleted one leaves them.
  void settle(const Call& call, Word result) {
    if (call.of->effect == Effect::Makes && result) values_.add(call.of->type, result);
    if (call.of->effect == Effect::Deletes && call.deletes_live) {
      values_.remove(call.args[0].word);
      stale_.push_back(call.args[0].word);
      if (stale_.size() > 64) stale_.erase(stale_.begin());
    }
    // A handle made again is live again, not stale.
    if (call.of->effect == Effect::Makes && result) stale_.erase(std::remove(stale_.begin(), stale_.end(), result), stale_.end());
  }

 private:
  Values& values_;
  bool valid_only_;
  std::vector<Export> exports_;
  std::vector<Word> stale_;
  std::vector<const Slot*> chosen_, fit_;
};

}  // namespace kv::test::surface
