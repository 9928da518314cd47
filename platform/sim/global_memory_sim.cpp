#include "sim/global_memory_sim.h"

#include <algorithm>
#include <cstring>

namespace sim {

HGLOBAL SimGlobalMemory::GlobalAlloc(UINT flags, SIZE_T bytes) {
  ++allocationAttempts;
  if (failNext_ > 0) {
    --failNext_;
    return nullptr;
  }
  if (auto it = std::find(failAt_.begin(), failAt_.end(), allocationAttempts); it != failAt_.end()) {
    failAt_.erase(it);
    return nullptr;
  }
  Block block;
  block.flags = flags;
  block.size = bytes;
  block.memory = std::make_unique<std::byte[]>(bytes == 0 ? 1 : bytes);
  // Memory that is not asked to be zeroed holds a pattern, so that code which
  // relies on zeroes it did not ask for shows up.
  std::memset(block.memory.get(), (flags & GMEM_ZEROINIT) != 0 ? 0 : 0xCD, bytes == 0 ? 1 : bytes);
  auto handle = reinterpret_cast<HGLOBAL>(nextHandle_);
  nextHandle_ += 0x10;
  blocks_.emplace(handle, std::move(block));
  ++allocations;
  return handle;
}

void* SimGlobalMemory::GlobalLock(HGLOBAL handle) {
  auto it = blocks_.find(handle);
  if (it == blocks_.end()) {
    ++misuse;
    return nullptr;
  }
  ++it->second.locks;
  return it->second.memory.get();
}

BOOL SimGlobalMemory::GlobalUnlock(HGLOBAL handle) {
  auto it = blocks_.find(handle);
  if (it == blocks_.end() || it->second.locks == 0) {
    ++misuse;
    return FALSE;
  }
  --it->second.locks;
  return it->second.locks > 0 ? TRUE : FALSE;
}

HGLOBAL SimGlobalMemory::GlobalFree(HGLOBAL handle) {
  auto it = blocks_.find(handle);
  if (it == blocks_.end()) {
    ++misuse;
    return handle;
  }
  if (it->second.locks != 0) ++misuse;
  blocks_.erase(it);
  ++frees;
  return nullptr;
}

int SimGlobalMemory::heldLocks() const {
  int held = 0;
  for (const auto& [handle, block] : blocks_) held += block.locks;
  return held;
}

const SimGlobalMemory::Block* SimGlobalMemory::blockAt(const void* address) const {
  for (const auto& [handle, block] : blocks_)
    if (block.memory.get() == address) return &block;
  return nullptr;
}

}  // namespace sim
