// The libFuzzer entry of one fuzz target; VANTREL_FUZZ_CHECK names its
// check (checks.h). A broken invariant is printed and aborts, which
// libFuzzer reports as a crash and keeps the input of. Any other exception
// escaping the check aborts too: the checks catch every refusal they
// expect.

#include "checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        vantrel::fuzz::VANTREL_FUZZ_CHECK(std::span<const std::uint8_t>(data, size));
    } catch (const vantrel::fuzz::InvariantBroken &broken) {
        std::fprintf(stderr, "invariant broken: %s\n", broken.what());
        std::abort();
    }
    return 0;
}
