// pairly-score counting its heap allocations: the program's own main, linked unchanged with
// the counting operator new (heap_counter.cpp), and the count written to standard error when
// it ends. The scorer itself is linked statically, where valgrind cannot see its allocations.
#include <cstdio>

#include "heap_counter.h"

namespace {

struct CountAtExit {
  ~CountAtExit() {
    std::fprintf(stderr, "heap allocations: %lld\n",
                 static_cast<long long>(bench::HeapAllocations()));
  }
} countAtExit;

}  // namespace
