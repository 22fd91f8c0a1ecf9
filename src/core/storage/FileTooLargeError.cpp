#include "core/storage/FileTooLargeError.h"

#include "core/config/ByteFormatter.h"

#include <string>

namespace tarn {

FileTooLargeError::FileTooLargeError(std::int64_t fileSize, std::int64_t limit)
    : std::runtime_error("The file is too large to upload (" + ByteFormatter::string(fileSize) +
                         "); one object holds at most " + ByteFormatter::string(limit) + "."),
      m_fileSize(fileSize), m_limit(limit) {}

}  // namespace tarn
