#include "core/storage/DownloadOverrunError.h"

namespace tarn {

DownloadOverrunError::DownloadOverrunError(std::string key, std::int64_t announced)
    : std::runtime_error("The server sent more of \"" + key + "\" than the " + std::to_string(announced) +
                         " bytes announced for it; the download was stopped."),
      m_key(std::move(key)), m_announced(announced) {}

}  // namespace tarn
