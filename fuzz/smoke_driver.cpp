// Without libFuzzer: replays the seeds and a bounded number of random
// mutations of them under the sanitizers. CI runs this; long coverage-guided
// runs use clang and libFuzzer (see README.md beside this file).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <random>
#include <vector>

#include "fuzz_seeds.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
        // A starting corpus for libFuzzer runs.
        int n = 0;
        for (auto& s : tidewellFuzzSeeds()) {
            std::ofstream(std::string(argv[2]) + "/seed" + std::to_string(n++), std::ios::binary)
                .write(reinterpret_cast<const char*>(s.data()),
                       static_cast<std::streamsize>(s.size()));
        }
        return 0;
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    std::mt19937 rng(12345);
    auto seeds = tidewellFuzzSeeds();
    for (auto& s : seeds)
        LLVMFuzzerTestOneInput(s.data(), s.size());
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    unsigned runs = 0;
    while (std::chrono::steady_clock::now() < end) {
        std::vector<std::uint8_t> input = seeds[rng() % seeds.size()];
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < edits && !input.empty(); ++i) {
            std::size_t at = 1 + rng() % (input.size() > 1 ? input.size() - 1 : 1);
            switch (rng() % 4) {
            case 0:
                input[at % input.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                break;
            case 1:
                input.resize(at);
                break; // truncate
            case 2:
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at % input.size()),
                             static_cast<std::uint8_t>(rng()));
                break;
            default:
                input[at % input.size()] = static_cast<std::uint8_t>(rng());
                break;
            }
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
        ++runs;
    }
    std::printf("%u mutated inputs, no crash\n", runs);
    return 0;
}
