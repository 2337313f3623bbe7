// Every memory request of the program goes through this operator new. A
// request that cannot be met raises the out-of-memory failure; its location
// is this function's own address, in the program's own module.
#include <cstdlib>
#include <new>

#include "common/failure_classes.h"
#include "platform/platform.h"

namespace {

// From this size on a block is worth large pages.
constexpr std::size_t kLargeBlock = 4 * 1024 * 1024;

}  // namespace

void* operator new(std::size_t size) {
  if (size == 0) size = 1;
  void* block = std::malloc(size);
  if (block == nullptr) {
    using TMemoryRequest = void* (*)(std::size_t);
    const TMemoryRequest request = &::operator new;
    throw karsvren::TOutOfMemoryRaised(reinterpret_cast<const void*>(request));
  }
  if (size >= kLargeBlock) karsvren::platform::Platform().AdviseLargeBlock(block, size);
  return block;
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
