#pragma once

#include <stdexcept>
#include <string>

namespace tarn {

// A storage answer that is not well-formed XML (cut off, not XML at all). Carries the
// XML reader's own reason and where in the document it gave up.
class XmlParseError : public std::runtime_error {
public:
    XmlParseError(std::string reason, unsigned long line, unsigned long column);

    const std::string& reason() const { return m_reason; }
    unsigned long line() const { return m_line; }
    unsigned long column() const { return m_column; }

private:
    std::string m_reason;
    unsigned long m_line;
    unsigned long m_column;
};

}  // namespace tarn
