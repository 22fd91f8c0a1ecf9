#include "core/storage/XmlText.h"

#include "core/text/AsciiCase.h"

#include <charconv>

namespace tarn::XmlText {

namespace {

bool isTrimmable(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isTrimmable(text.front())) text.remove_prefix(1);
    while (!text.empty() && isTrimmable(text.back())) text.remove_suffix(1);
    return text;
}

std::int64_t integer(std::string_view text) {
    // from_chars takes a "-" but not a "+", and must not see "+-5".
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-') return 0;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value;
}

std::optional<TimePoint> date(std::string_view text) { return IsoDate::parse(text, IsoDate::Fractions::accept); }

bool boolean(std::string_view text) { return AsciiCase::equalsIgnoringCase(text, "true"); }

}  // namespace tarn::XmlText
