// Replaces the global allocation functions of bulk_scan_tests so a test can
// see whether a stretch of code allocates. Kept in a file of its own so the
// compiler does not pair these malloc/free calls with new-expressions.
#include <cstdlib>
#include <new>

bool countAllocations = false;
long allocations = 0;

void* operator new(std::size_t size) {
  if (countAllocations) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
