#include "core/text/Utf8.h"

#include <cstddef>

namespace tarn::Utf8 {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at `pos`, or 0 when it is ill-formed;
// `consumed` then tells how many bytes belong to the ill-formed start.
std::size_t sequenceLength(std::string_view bytes, std::size_t pos, std::size_t& consumed) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byteAt(pos);
    consumed = 1;
    if (lead < 0x80) return 1;

    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }

    for (std::size_t i = 1; i < length; ++i) {
        if (pos + i >= bytes.size()) return 0;
        const unsigned char next = byteAt(pos + i);
        const bool fits = i == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        if (!fits) return 0;
        consumed = i + 1;
    }
    return length;
}

}  // namespace

bool isValid(std::string_view bytes) {
    std::size_t consumed = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, pos, consumed);
        if (length == 0) return false;
        pos += length;
    }
    return true;
}

std::string repaired(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + kReplacement.size());
    std::size_t consumed = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, pos, consumed);
        if (length == 0) {
            text += kReplacement;
            pos += consumed;
        } else {
            text.append(bytes, pos, length);
            pos += length;
        }
    }
    return text;
}

std::string_view prefix(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t characters = 0; end < text.size() && characters < count; ++characters) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    return text.substr(0, end);
}

std::optional<std::vector<char32_t>> codePoints(std::string_view bytes) {
    static constexpr unsigned char kLeadMasks[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    std::vector<char32_t> result;
    result.reserve(bytes.size());
    std::size_t consumed = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, pos, consumed);
        if (length == 0) return std::nullopt;
        char32_t value = static_cast<unsigned char>(bytes[pos]) & kLeadMasks[length];
        for (std::size_t i = 1; i < length; ++i) value = (value << 6) | (static_cast<unsigned char>(bytes[pos + i]) & 0x3F);
        result.push_back(value);
        pos += length;
    }
    return result;
}

}  // namespace tarn::Utf8
