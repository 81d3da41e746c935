#include "support/Seed.h"

#include <chrono>
#include <cstdlib>
#include <random>

namespace borne::test {

std::uint64_t testSeed() {
    if (const char* s = std::getenv("BORNE_SEED"); s != nullptr && *s != '\0')
        return std::strtoull(s, nullptr, 10);
    return std::random_device{}() ^
           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

} // namespace borne::test
