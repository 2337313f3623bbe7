// Every memory request of the program goes through this operator new. A
// request that cannot be met raises the out-of-memory failure with a
// location inside this function, in the program's own module.
#include <cstdlib>
#include <new>

#include "common/failure_classes.h"

namespace {

// Kept out of interprocedural analysis: known to never return, the call
// would lose the instruction after it.
[[gnu::noipa]] void RaiseOutOfMemory() {
  throw karsvren::TOutOfMemoryRaised(__builtin_return_address(0));
}

}  // namespace

void* operator new(std::size_t size) {
  if (size == 0) size = 1;
  void* block = std::malloc(size);
  if (block == nullptr) {
    // The failure location is the return address: the instruction after the
    // call stays on this line.
    RaiseOutOfMemory(); __asm__ volatile("nop");
  }
  return block;
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
