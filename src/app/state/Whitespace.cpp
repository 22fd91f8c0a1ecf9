#include "app/state/Whitespace.h"

#include <cstddef>

namespace tarn::Whitespace {

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of the well-formed UTF-8 sequence `bytes`; U+FFFD for anything else,
// which is never white space.
char32_t decode(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes.front());
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || bytes.size() != length) return U'\uFFFD';
    char32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!isContinuation(byte)) return U'\uFFFD';
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    return codePoint;
}

std::size_t sequenceLength(std::string_view text) {
    std::size_t length = 1;
    while (length < text.size() && length < 4 && isContinuation(static_cast<unsigned char>(text[length]))) ++length;
    return length;
}

template <class Blank>
std::string_view trimmedWhere(std::string_view text, Blank blank) {
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        if (!blank(decode(text.substr(0, length)))) break;
        text.remove_prefix(length);
    }
    while (!text.empty()) {
        std::size_t start = text.size() - 1;
        while (start > 0 && text.size() - start < 4 && isContinuation(static_cast<unsigned char>(text[start]))) --start;
        if (!blank(decode(text.substr(start)))) break;
        text.remove_suffix(text.size() - start);
    }
    return text;
}

}  // namespace

bool isWhitespace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool isLineBreak(char32_t c) { return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029; }

std::string_view trimmed(std::string_view text) { return trimmedWhere(text, isWhitespace); }

std::string_view trimmedWithinLine(std::string_view text) {
    return trimmedWhere(text, [](char32_t c) { return isWhitespace(c) && !isLineBreak(c); });
}

}  // namespace tarn::Whitespace
