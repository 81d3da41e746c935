// The seed of a randomised test or benchmark.
#pragma once

#include <cstdint>

namespace borne::test {

// BORNE_SEED if set (to replay a failure), else a fresh one. Whoever draws it prints it, so that any
// failure can be replayed.
std::uint64_t testSeed();

} // namespace borne::test
