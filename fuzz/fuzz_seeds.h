#pragma once
// Each fuzz target offers a few valid inputs to start from.
#include <cstdint>
#include <vector>

std::vector<std::vector<std::uint8_t>> tidewellFuzzSeeds();
