// One libFuzzer target: VNA_FUZZ_TARGET names the entry point (see fuzz_entries.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <new>

#include "fuzz_entries.h"

// Every input gets a program of its own, and a program's state is about 10 MB. Mapped anew for each
// input, its pages cost most of the time (a page fault is dear on a virtual machine) and cut the
// executions per second several times. So blocks of a megabyte and more are kept when freed and
// handed out again for the next request of the same size: the sanitizers still check every access
// to them (a kept block stays allocated, within its redzones); only a use after such a block was
// freed goes unseen.
namespace {

constexpr std::size_t LargeBlock = std::size_t{1} << 20;

struct Kept {
    void* block = nullptr;
    std::size_t size = 0;
};
std::array<Kept, 16> kept;

void* Allocate(std::size_t n) {
    if (n >= LargeBlock) {
        for (Kept& k : kept) {
            if (k.block != nullptr && k.size == n) {
                void* p = k.block;
                k.block = nullptr;
                return p;
            }
        }
    }
    return std::malloc(n == 0 ? 1 : n);
}

void Release(void* p) noexcept {
    if (p == nullptr) {
        return;
    }
    const std::size_t n = malloc_usable_size(p);
    if (n >= LargeBlock) {
        for (Kept& k : kept) {
            if (k.block == nullptr) {
                k = {p, n};
                return;
            }
        }
    }
    std::free(p);
}

} // namespace

void* operator new(std::size_t n) {
    if (void* p = Allocate(n)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const vna::fuzz::Target* target = vna::fuzz::FindTarget(VNA_FUZZ_TARGET);
    if (target == nullptr) {
        std::abort();
    }
    target->run({data, size});
    return 0;
}
