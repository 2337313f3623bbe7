// Every memory request of the program goes through this operator new. A
// request that cannot be met throws std::bad_alloc, which the guard turns
// into the shared out-of-memory failure.
#include "common/memory_request.h"

#include <cstdlib>
#include <new>

#include "platform/platform.h"

namespace {

// From this size on a block is worth large pages.
constexpr std::size_t kLargeBlock = 4 * 1024 * 1024;

}  // namespace

void* operator new(std::size_t size) {
  if (size == 0) size = 1;
  void* block = std::malloc(size);
  if (block == nullptr) throw std::bad_alloc();
  if (size >= kLargeBlock) karsvren::platform::Platform().AdviseLargeBlock(block, size);
  return block;
}

const void* karsvren::MemoryRequestLocation() {
  using TMemoryRequest = void* (*)(std::size_t);
  const TMemoryRequest request = &::operator new;
  return reinterpret_cast<const void*>(request);
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
