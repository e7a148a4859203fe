// Handle tables: every handle kind maps to its objects through one table.
// A handle carries its kind, a slot and the slot's generation, so a lookup
// is O(1), a handle of another kind or of a freed object is refused
// without being dereferenced, and no value is ever handed out twice.
//
// Handles of every kind (windows, menus, hooks, global blocks, searches, modules) are opaque values
// from one table per kind (`platform/kernel/handles.h`): the value carries the kind, a slot and the
// slot's generation, so every call checks a handle in O(1), a handle of another kind or of a
// destroyed object fails the call (`GetLastError` 1400 for windows, 6 otherwise) without being
// dereferenced, and no value is handed out twice in a run. Window words, class words, `WPARAM`,
// `LPARAM` and `LRESULT` are pointer-sized; `Set`/`GetWindowLongPtrA` serve for `SetWindowLongA`,
// and the 8 extra window bytes of the framework's window classes hold one pointer-sized word at
// offset 0.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace win::internal {

enum class HandleKind : std::uint8_t { window = 1, menu, hook, global, search, module, key, cursor, gdi, accel };

template <class T>
class HandleTable {
 public:
  explicit HandleTable(HandleKind kind) : kind_(static_cast<std::uint64_t>(kind)) {}

  // Takes the object and answers its new handle value (0: table full).
  std::uintptr_t add(std::unique_ptr<T> object) {
    std::uint32_t slot;
    if (!free_.empty()) {
      slot = free_.back();
      free_.pop_back();
    } else {
      if (slots_.size() >= (1u << kSlotBits) - 1) return 0;
      slot = static_cast<std::uint32_t>(slots_.size());
      slots_.push_back({nullptr, 0});
    }
    slots_[slot].object = std::move(object);
    ++live_;
    return encode(slot, slots_[slot].generation);
  }

  T* get(std::uintptr_t handle) const {
    std::uint32_t slot;
    return decode(handle, slot) ? slots_[slot].object.get() : nullptr;
  }

  // Frees the object; the slot's next handle differs from this one.
  std::unique_ptr<T> remove(std::uintptr_t handle) {
    std::uint32_t slot;
    if (!decode(handle, slot)) return nullptr;
    std::unique_ptr<T> out = std::move(slots_[slot].object);
    ++slots_[slot].generation;
    free_.push_back(slot);
    --live_;
    return out;
  }

  std::size_t size() const { return live_; }

  // Visits live objects in slot order; f may not add or remove.
  template <class F>
  void each(F&& f) const {
    for (std::uint32_t i = 0; i < slots_.size(); ++i)
      if (slots_[i].object) f(encode(i, slots_[i].generation), *slots_[i].object);
  }

 private:
  struct Slot {
    std::unique_ptr<T> object;
    std::uint32_t generation;
  };
  static constexpr unsigned kSlotBits = 22;

  // Bits 2-23: slot + 1 (the low two bits stay clear, as on Windows);
  // 24-31: the kind; 32-63: generation + 1, so every value is above 2^32.
  std::uintptr_t encode(std::uint32_t slot, std::uint32_t generation) const {
    return static_cast<std::uintptr_t>((static_cast<std::uint64_t>(generation) + 1) << 32 | kind_ << 24 |
                                       static_cast<std::uint64_t>(slot + 1) << 2);
  }
  bool decode(std::uintptr_t handle, std::uint32_t& slot) const {
    std::uint64_t h = handle;
    if ((h >> 24 & 0xFF) != kind_ || (h & 3) != 0) return false;
    std::uint64_t s = h >> 2 & ((1u << kSlotBits) - 1);
    if (s == 0 || s > slots_.size()) return false;
    slot = static_cast<std::uint32_t>(s - 1);
    return slots_[slot].object && (h >> 32) == static_cast<std::uint64_t>(slots_[slot].generation) + 1;
  }

  std::uint64_t kind_;
  std::vector<Slot> slots_;
  std::vector<std::uint32_t> free_;
  std::size_t live_ = 0;
};

template <class H>
std::uintptr_t handleValue(H h) {
  return reinterpret_cast<std::uintptr_t>(h);
}
template <class H>
H asHandle(std::uintptr_t v) {
  return reinterpret_cast<H>(v);
}

}  // namespace win::internal
