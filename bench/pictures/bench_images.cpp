// Decoding the seven built-in pictures, as the window does once at start: mean time of one full set.
// Usage: bench_images [rounds]   (default 200). Target: at most 10 ms per set.
#include "panel/images/Images.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int tours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    std::size_t octets = 0;
    borne::decoderImagesIntegrees(); // warm-up: first touch of the embedded bytes and the library
    const auto debut = std::chrono::steady_clock::now();
    for (int i = 0; i < tours; ++i) {
        for (const auto& image : borne::decoderImagesIntegrees())
            octets += image.pixels.size();
    }
    const std::chrono::duration<double, std::milli> duree = std::chrono::steady_clock::now() - debut;
    const double moyenne = duree.count() / tours;
    std::printf("bench_images: %d rounds, %.3f ms per decode of all seven pictures (%zu bytes each round), "
                "target <= 10 ms: %s\n",
                tours, moyenne, octets / tours, moyenne <= 10.0 ? "met" : "MISSED");
    return 0;
}
