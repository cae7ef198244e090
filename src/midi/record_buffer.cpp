#include "midi/record_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace melko {

RecordBuffer::RecordBuffer() {
  long page = sysconf(_SC_PAGESIZE);
  if (page > 0 && kRecordBufferBytes % size_t(page) == 0) pageSize_ = size_t(page);
  // Address space only: pages become usable as Store commits them.
  void* p = mmap(nullptr, kRecordBufferBytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) {
    reserveError_ = uint32_t(errno);
    return;
  }
  base_ = p;
}

RecordBuffer::~RecordBuffer() {
  if (base_) munmap(base_, kRecordBufferBytes);
}

void RecordBuffer::Reset() {
  count_.store(0, std::memory_order_release);
  committed_.store(0, std::memory_order_release);
}

bool RecordBuffer::Store(int32_t tick, uint32_t message, uint32_t& error) {
  if (!base_) {
    error = reserveError_ ? reserveError_ : kRecordBufferFullError;
    return false;
  }
  const size_t count = count_.load(std::memory_order_relaxed);
  size_t committed = committed_.load(std::memory_order_relaxed);
  if (count * sizeof(RecordEntry) >= committed) {
    // The next page, unless that would leave the reserved region.
    if (committed + pageSize_ > kRecordBufferBytes || committed + pageSize_ > commitLimit_) {
      error = kRecordBufferFullError;
      return false;
    }
    if (mprotect(static_cast<char*>(base_) + committed, pageSize_, PROT_READ | PROT_WRITE) != 0) {
      error = uint32_t(errno);
      return false;
    }
    committed += pageSize_;
    committed_.store(committed, std::memory_order_release);
  }
  static_cast<RecordEntry*>(base_)[count] = RecordEntry{tick, message};
  count_.store(count + 1, std::memory_order_release);
  return true;
}

void RecordBuffer::Decommit() {
  const size_t committed = committed_.load(std::memory_order_acquire);
  if (base_ && committed > 0) {
    // The pages go back to the system and read as zeros if committed again.
    madvise(base_, committed, MADV_DONTNEED);
    mprotect(base_, committed, PROT_NONE);
  }
  Reset();
}

}  // namespace melko
