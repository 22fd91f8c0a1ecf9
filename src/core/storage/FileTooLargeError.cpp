#include "core/storage/FileTooLargeError.h"

#include "core/text/ByteFormatter.h"

#include <string>

namespace tarn {

namespace {

std::string describe(std::int64_t fileSize, std::int64_t limit, FileTooLargeError::Limit kind) {
    const std::string size = ByteFormatter::string(fileSize);
    const std::string most = ByteFormatter::string(limit);
    if (kind == FileTooLargeError::Limit::singleRequest) {
        return "The file is too large to upload in one request (" + size + "); one request carries at most " + most +
               ".";
    }
    return "The file is too large to upload (" + size + "); one object holds at most " + most + ".";
}

}  // namespace

FileTooLargeError::FileTooLargeError(std::int64_t fileSize, std::int64_t limit, Limit kind)
    : std::runtime_error(describe(fileSize, limit, kind)), m_fileSize(fileSize), m_limit(limit), m_kind(kind) {}

}  // namespace tarn
