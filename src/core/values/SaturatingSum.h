#pragma once

#include <cstdint>

namespace tarn {

// a + b, held at the 64-bit bound it would pass instead of wrapping (which is
// undefined behaviour): totals of sizes that a server reports can be anything.
std::int64_t saturatingSum(std::int64_t a, std::int64_t b);

}  // namespace tarn
