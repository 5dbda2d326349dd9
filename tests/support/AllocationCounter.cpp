#include "support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool tCounting = false;
thread_local int tAllocations = 0;

}  // namespace

void* operator new(std::size_t size) {
    if (tCounting) {
        ++tAllocations;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace tev::test {

void StartCountingAllocations() {
    tAllocations = 0;
    tCounting = true;
}

int StopCountingAllocations() {
    tCounting = false;
    return tAllocations;
}

}  // namespace tev::test
