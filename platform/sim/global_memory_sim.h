// Simulated global memory: blocks behind handles, with the books a test
// reads (blocks alive, locks held) and allocation failures it can inject.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <vector>

#include "platform/global_memory.h"

namespace sim {

class SimGlobalMemory : public platform::GlobalMemory {
 public:
  HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) override;
  void* GlobalLock(HGLOBAL block) override;
  BOOL GlobalUnlock(HGLOBAL block) override;
  HGLOBAL GlobalFree(HGLOBAL block) override;

  // The next `count` allocations fail; failAllocationNumber(n) makes the n-th
  // allocation from now on (1 = the next) fail, once.
  void failNextAllocations(int count) { failNext_ = count; }
  void failAllocationNumber(int n) { failAt_.push_back(allocationAttempts + n); }

  struct Block {
    UINT flags = 0;
    std::size_t size = 0;
    int locks = 0;
    std::unique_ptr<std::byte[]> memory;
  };

  // The live blocks, by handle.
  const std::map<HGLOBAL, Block>& blocks() const { return blocks_; }
  std::size_t liveBlocks() const { return blocks_.size(); }
  int heldLocks() const;
  // The block whose memory starts at address, or null.
  const Block* blockAt(const void* address) const;

  int allocationAttempts = 0;
  int allocations = 0;
  int frees = 0;
  // Calls on handles that are not live blocks, and frees of locked blocks.
  int misuse = 0;

 private:
  std::map<HGLOBAL, Block> blocks_;
  std::uintptr_t nextHandle_ = 0x10000;
  int failNext_ = 0;
  std::vector<int> failAt_;
};

}  // namespace sim
