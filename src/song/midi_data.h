// TMidiData: the growable byte buffer that holds one track's compact event
// stream, a clipboard excerpt, or a whole file image.
//
// The buffer owns its block. It is move-only and cheap to exchange (SwapTrack
// exchanges two of them). `Top()` is null while the buffer has never been
// written, which is what "track in use" means to LastUsedTrack. Writing
// appends at the end; the buffer keeps no read position of its own, so any
// number of readers (views, the player, a save) walk it at once, each with
// its own cursor (TrackWalker). Not thread-safe: the UI thread owns song
// buffers; the player reads a buffer only between the hand-overs made under
// its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

namespace melko {

class TMidiData {
 public:
  static constexpr uint32_t kGrowStep = 1024;

  TMidiData() = default;
  ~TMidiData() { std::free(top_); }
  TMidiData(const TMidiData&) = delete;
  TMidiData& operator=(const TMidiData&) = delete;
  TMidiData(TMidiData&& o) noexcept { Swap(o); }
  TMidiData& operator=(TMidiData&& o) noexcept {
    if (this != &o) {
      Free();
      Swap(o);
    }
    return *this;
  }

  void Swap(TMidiData& o) noexcept {
    std::swap(top_, o.top_);
    std::swap(used_, o.used_);
    std::swap(size_, o.size_);
  }

  // First byte, or null when never written.
  uint8_t* Top() { return top_; }
  const uint8_t* Top() const { return top_; }
  const uint8_t* End() const { return top_ + used_; }
  // Bytes of data.
  uint32_t Length() const { return used_; }
  // Bytes allocated.
  uint32_t Size() const { return size_; }
  bool IsNil() const { return top_ == nullptr; }
  bool HasData() const { return used_ > 0; }

  // Releases the block; the buffer counts as never written again.
  void Free() {
    std::free(top_);
    top_ = nullptr;
    used_ = 0;
    size_ = 0;
  }
  // Keeps the block but drops the data (a buffer that was written stays "in use").
  void Clear() { used_ = 0; }
  // Makes sure `extra` more bytes fit without another allocation.
  void Reserve(uint32_t extra) {
    if (static_cast<uint64_t>(used_) + extra > size_) Grow(static_cast<uint64_t>(used_) + extra);
  }
  // Allocates an empty block so that the buffer counts as written.
  void Touch() {
    if (!top_) Grow(kGrowStep);
  }

  void PutByte(uint8_t b) {
    if (used_ >= size_) Grow(static_cast<uint64_t>(used_) + 1);
    top_[used_++] = b;
  }
  void PutBytes(const uint8_t* p, uint32_t count) {
    if (count == 0) {
      Touch();
      return;
    }
    Reserve(count);
    for (uint32_t i = 0; i < count; ++i) top_[used_ + i] = p[i];
    used_ += count;
  }
  // Copies `count` bytes of another buffer's block; used to duplicate tracks.
  void Assign(const TMidiData& src) {
    Clear();
    if (src.top_) PutBytes(src.top_, src.used_);
  }
  // Room for `n` more bytes written straight through the returned pointer;
  // Commit(end) then takes everything up to `end` as data.
  uint8_t* Claim(uint32_t n) {
    if (used_ + n > size_) Grow(static_cast<uint64_t>(used_) + n);
    return top_ + used_;
  }
  void Commit(const uint8_t* end) { used_ = static_cast<uint32_t>(end - top_); }
  // Gives back what a generous reservation did not use (to whole kilobytes).
  void ShrinkToFit() {
    if (!top_) return;
    uint32_t target = (used_ + kGrowStep - 1) / kGrowStep * kGrowStep;
    if (target == 0) target = kGrowStep;
    if (target >= size_) return;
    if (void* p = std::realloc(top_, target)) {
      top_ = static_cast<uint8_t*>(p);
      size_ = target;
    }
  }

 private:
  void Grow(uint64_t need) {
    // Steps of 1024 bytes, but at least half again the current size so that a
    // long track is not copied once per kilobyte while it is built.
    uint64_t target = size_ + kGrowStep;
    if (target < size_ + size_ / 2) target = size_ + size_ / 2;
    if (target < need) target = need;
    target = (target + kGrowStep - 1) / kGrowStep * kGrowStep;
    if (target > 0xFFFFFFFFull) throw std::bad_alloc();
    void* p = std::realloc(top_, static_cast<size_t>(target));
    if (!p) throw std::bad_alloc();
    top_ = static_cast<uint8_t*>(p);
    size_ = static_cast<uint32_t>(target);
  }

  uint8_t* top_ = nullptr;
  uint32_t used_ = 0;
  uint32_t size_ = 0;
};

// Byte and number primitives over a checked cursor. `p` advances; reads
// never pass `end`: a number cut short by the end reads the bytes that exist.
inline uint32_t ReadVarLen(const uint8_t*& p, const uint8_t* end) {
  uint32_t value = 0;
  while (p < end) {
    uint8_t b = *p++;
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  return value;
}
// Writes a variable-length number at `p` (room for four bytes) and returns
// the end; a value of 2^28 or more keeps its low 28 bits.
inline uint8_t* PutVarLen(uint8_t* p, uint32_t value) {
  value &= 0x0FFFFFFF;
  if (value < 0x80) {
    *p++ = static_cast<uint8_t>(value);
    return p;
  }
  int shift = 21;
  while ((value >> shift) == 0) shift -= 7;
  for (; shift > 0; shift -= 7) *p++ = static_cast<uint8_t>(0x80 | ((value >> shift) & 0x7F));
  *p++ = static_cast<uint8_t>(value & 0x7F);
  return p;
}

// Writes at most four bytes: a value of 2^28 or more keeps its low 28 bits.
inline void WriteVarLen(TMidiData& out, uint32_t value) { out.Commit(PutVarLen(out.Claim(4), value)); }
uint32_t ReadBigEndian(const uint8_t*& p, const uint8_t* end, int n);
void WriteBigEndian(TMidiData& out, uint32_t value, int n);

}  // namespace melko
