#include "core/config/LogText.h"

#include "core/config/Utf8.h"

namespace tarn::LogText {

std::string truncated(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    std::string cut = Utf8::repaired(text.substr(0, limit));
    cut += "…（已截断，共 ";
    cut += std::to_string(text.size());
    cut += " bytes）";
    return cut;
}

}  // namespace tarn::LogText
