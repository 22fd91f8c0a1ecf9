#include "core/text/LogText.h"

#include "core/text/Utf8.h"

namespace tarn::LogText {

std::string truncated(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    return Utf8::repaired(text.substr(0, limit)) + cutMarker(text.size());
}

std::string cutMarker(std::size_t total) {
    return "…（已截断，共 " + std::to_string(total) + " bytes）";
}

}  // namespace tarn::LogText
