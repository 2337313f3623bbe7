// The program's memory requests: every one goes through its own operator
// new, which throws std::bad_alloc when a request cannot be met.
#pragma once

namespace karsvren {

// The failure location of every exhaustion of memory: the address of the
// memory request itself, in the program's own module.
const void* MemoryRequestLocation();

}  // namespace karsvren
