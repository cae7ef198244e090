// The record buffer: 1 MiB of address space reserved once at program start
// and committed a page at a time as a take fills it, holding what arrived
// while recording as {PlayTick, short message} in arrival order (at most
// 131072 entries). After the merge the committed pages are given back.
// Threads: one writer per take stores (the MIDI input reader or, for the
// computer keyboard, the UI thread; the input source decides which); Reset,
// Decommit and reading the entries belong to the UI thread while no take
// runs. Count is published with release order, so the UI thread sees every
// entry it counts. The buffer owns its mapping.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace melko {

struct RecordEntry {
  int32_t Tick = 0;      // PlayTick when the message arrived
  uint32_t Message = 0;  // status (with channel) in the low byte, then data 1, data 2, 0
};
static_assert(sizeof(RecordEntry) == 8);

constexpr size_t kRecordBufferBytes = 1048576;
constexpr size_t kRecordBufferEntries = kRecordBufferBytes / sizeof(RecordEntry);  // 131072

// The error reported for a store that found the buffer full (the system's
// "not enough memory").
constexpr uint32_t kRecordBufferFullError = 8;

class RecordBuffer {
 public:
  // Reserves the region; when that fails, Reserved() is false and
  // ReserveError() says why (an errno value).
  RecordBuffer();
  ~RecordBuffer();
  RecordBuffer(const RecordBuffer&) = delete;
  RecordBuffer& operator=(const RecordBuffer&) = delete;

  bool Reserved() const { return base_ != nullptr; }
  uint32_t ReserveError() const { return reserveError_; }

  // Start of a take: nothing stored, nothing committed.
  void Reset();
  // Appends one entry, committing the next page when the committed part is
  // full. False when the message was dropped (the buffer is full or a page
  // could not be committed); `error` then holds the code for the log line.
  bool Store(int32_t tick, uint32_t message, uint32_t& error);
  // Entries stored so far (acquire: each counted entry is complete).
  size_t Count() const { return count_.load(std::memory_order_acquire); }
  // Bytes committed so far.
  size_t Committed() const { return committed_.load(std::memory_order_acquire); }
  const RecordEntry* Entries() const { return static_cast<const RecordEntry*>(base_); }
  // Gives the committed pages back to the system; Count and Committed become 0.
  void Decommit();

  // For tests: the pages that can still be committed (commits beyond it fail).
  void LimitCommitForTest(size_t bytes) { commitLimit_ = bytes; }

 private:
  void* base_ = nullptr;
  uint32_t reserveError_ = 0;
  size_t pageSize_ = 4096;
  size_t commitLimit_ = kRecordBufferBytes;
  std::atomic<size_t> count_{0};
  std::atomic<size_t> committed_{0};
};

}  // namespace melko
