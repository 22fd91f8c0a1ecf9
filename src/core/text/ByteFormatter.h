#pragma once

#include <cstdint>
#include <string>

namespace tarn {

// Sizes, progress and rates as the interface shows them: units of 1024 bytes named
// KB, MB, GB and TB (nothing above TB), one decimal unless the value is whole, and
// always "." as the decimal separator whatever the process locale.
namespace ByteFormatter {

// "0 B", "1023 B", "-5 B", "1 KB", "1.0 KB" (1025 bytes), "1.5 KB", "1024.0 KB"
// (1048575 bytes), "1 MB", "1024 TB". The unit steps up only once the value
// reaches 1024 of the current one.
std::string string(std::int64_t bytes);

// Both numbers in the unit of the total: "0.5 / 2 KB", "0.0 / 1 MB", "100 / 500 B".
std::string progressString(std::int64_t sent, std::int64_t total);

// A rate in bytes per second, truncated to whole bytes: "512 B/s", "1.5 MB/s".
// Negative and NaN rates show as "0 B/s"; rates beyond the 64-bit range (infinity
// among them) as the largest 64-bit count.
std::string speedString(double bytesPerSecond);

}  // namespace ByteFormatter

}  // namespace tarn
