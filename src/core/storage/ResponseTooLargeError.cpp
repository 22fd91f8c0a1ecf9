#include "core/storage/ResponseTooLargeError.h"

#include "core/text/ByteFormatter.h"

#include <cstdint>
#include <string>

namespace tarn {

ResponseTooLargeError::ResponseTooLargeError(std::size_t limit)
    : std::runtime_error("The storage answer is larger than " +
                         ByteFormatter::string(static_cast<std::int64_t>(limit)) + "; it was not read further."),
      m_limit(limit) {}

}  // namespace tarn
