// Runs the fuzz target over generated inputs where libFuzzer is not at
// hand (the test pass, built with g++): a bounded count of random inputs of
// every length up to a line's 99 bytes, half of them of the bytes that the
// reading tells apart.
//   status_fuzz [count] [seed]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    const unsigned long count = argc > 1 ? std::strtoul(argv[1], nullptr, 0) : 20000;
    const unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 20261207;
    std::mt19937_64 rng(seed);
    static const uint8_t kinds[] = {'0', '1', ' ', '\t', '\n', '\r', 0, 1, 0x1f, 0x20, '!', 'x', 0x7f, 0x80, 0xff};
    std::vector<uint8_t> input;
    for (unsigned long n = 0; n < count; ++n) {
        input.resize(2 + rng() % 100);
        const bool picked = rng() % 2;
        for (uint8_t& b : input)
            b = picked ? kinds[rng() % sizeof kinds] : static_cast<uint8_t>(rng());
        input[0] = static_cast<uint8_t>(rng());
        input[1] = static_cast<uint8_t>(rng());
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%lu inputs (seed %lu): every property held\n", count, seed);
    return 0;
}
