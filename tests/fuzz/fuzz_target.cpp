// One libFuzzer target: VNA_FUZZ_TARGET names the entry point (see fuzz_entries.h).

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const vna::fuzz::Target* target = vna::fuzz::FindTarget(VNA_FUZZ_TARGET);
    if (target == nullptr) {
        std::abort();
    }
    target->run({data, size});
    return 0;
}
