#include "core/storage/XmlParseError.h"

namespace tarn {

XmlParseError::XmlParseError(std::string reason, unsigned long line, unsigned long column)
    : std::runtime_error("Malformed XML in storage response: " + reason + " (line " + std::to_string(line) +
                         ", column " + std::to_string(column) + ")"),
      m_reason(std::move(reason)), m_line(line), m_column(column) {}

}  // namespace tarn
