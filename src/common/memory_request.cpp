// Every memory request of the program goes through this operator new. A
// request that cannot be met raises the out-of-memory failure; its location
// is this function's own address, in the program's own module.
#include <cstdlib>
#include <new>

#include "common/failure_classes.h"

void* operator new(std::size_t size) {
  if (size == 0) size = 1;
  void* block = std::malloc(size);
  if (block == nullptr) {
    using TMemoryRequest = void* (*)(std::size_t);
    const TMemoryRequest request = &::operator new;
    throw karsvren::TOutOfMemoryRaised(reinterpret_cast<const void*>(request));
  }
  return block;
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
