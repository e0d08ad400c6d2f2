// Autorelease pools, one stack per thread. `AutoreleasePool` is the scope for C++ code; the
// NSAutoreleasePool class (alloc, init, drain) is the same stack seen from messages.
#pragma once

#include <objc/runtime.h>

#include <cstddef>

#include "port/objc/AutoreleasePool.h"

namespace qv {

// Objects waiting in this thread's pools (tests).
std::size_t pendingAutoreleases();

namespace detail {
// Begins a pool and answers its depth; popping a depth ends that pool and every pool inside it.
std::size_t pushPool();
void popPool(std::size_t depth);
void addToPool(id object);
}  // namespace detail

}  // namespace qv
