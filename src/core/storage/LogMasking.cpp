#include "core/storage/LogMasking.h"

#include "core/text/Utf8.h"

#include <algorithm>

namespace tarn::LogMasking {

namespace {

// How much of a masked value stays readable.
constexpr std::size_t kShownCharacters = 48;

// S3 answers a signature it refuses with the signature it received and the text it
// expected to be signed. The signature is an HMAC under a key derived from the
// secret: with the text it was computed over, it is all an offline guess of the
// secret needs. The canonical request stays: it restates the request line and
// headers the log already holds, and is what a mismatch is diagnosed with.
struct Echo {
    std::string_view element;
    bool keepsHead;  // the readable start (algorithm, time) may stay
};
constexpr Echo kEchoes[] = {
    {"SignatureProvided", false},
    {"StringToSign", true},
    {"StringToSignBytes", true},
};

// Masks the value of every element of the echo's name in `text`.
void mask(std::string& text, const Echo& echo) {
    const std::string open = std::string("<").append(echo.element);
    const std::string close = std::string("</").append(echo.element).append(">");
    std::size_t at = 0;
    while ((at = text.find(open, at)) != std::string::npos) {
        at += open.size();
        // "<StringToSign" is also the start of "<StringToSignBytes": only a name that
        // ends here counts.
        if (at < text.size() && text[at] != '>' && text[at] != ' ' && text[at] != '\t' && text[at] != '\r' &&
            text[at] != '\n' && text[at] != '/') {
            continue;
        }
        const std::size_t tagEnd = text.find('>', at);
        if (tagEnd == std::string::npos) {
            // Cut inside the tag itself: nothing of the value is there yet.
            return;
        }
        if (text[tagEnd - 1] == '/') {
            at = tagEnd + 1;
            continue;  // an empty element
        }
        const std::size_t start = tagEnd + 1;
        const std::size_t end = std::min(text.find(close, start), text.size());
        const std::string_view value = std::string_view(text).substr(start, end - start);
        const std::string replacement = echo.keepsHead ? maskedValue(value) : "…";
        text.replace(start, end - start, replacement);
        at = start + replacement.size();
    }
}

}  // namespace

std::string maskedValue(std::string_view value) {
    return std::string(Utf8::prefix(value, kShownCharacters)) + "…";
}

std::string maskedBody(std::string_view body) {
    std::string text(body);
    for (const Echo& echo : kEchoes) mask(text, echo);
    return text;
}

}  // namespace tarn::LogMasking
