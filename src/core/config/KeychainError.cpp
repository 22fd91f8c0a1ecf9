#include "core/config/KeychainError.h"

namespace tarn {

namespace {

// "text" becomes "text." so the description reads as one sentence whatever the
// keyring's message looks like.
std::string sentence(std::string text) {
    if (text.empty()) return text;
    const char last = text.back();
    if (last != '.' && last != '!' && last != '?') text += '.';
    return text;
}

}  // namespace

KeychainError::KeychainError(Kind kind, std::string storeMessage)
    : m_kind(kind), m_storeMessage(std::move(storeMessage)) {
    switch (m_kind) {
    case Kind::unavailable:
        m_description = "The keyring (Secret Service) is not available";
        break;
    case Kind::timedOut:
        m_description = "The keyring did not answer in time";
        break;
    case Kind::failed:
        m_description = "The keyring returned an error";
        break;
    case Kind::invalidSecret:
        m_description = "The secret is not valid UTF-8 text";
        break;
    }
    m_description = m_storeMessage.empty() ? m_description + "." : m_description + ": " + sentence(m_storeMessage);
}

}  // namespace tarn
