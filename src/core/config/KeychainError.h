#pragma once

#include <exception>
#include <string>

namespace tarn {

// The secret store's error. The keyring's own text is kept for the user and the
// report, but never a secret: neither the store nor the keyring puts one there.
class KeychainError : public std::exception {
public:
    enum class Kind {
        // No Secret Service on the session bus, or no session bus at all.
        unavailable,
        // The keyring took longer than the store allows (a stuck daemon or an unanswered prompt).
        timedOut,
        // The keyring answered with an error.
        failed,
        // A secret to be saved is not UTF-8 text; it would read back as missing.
        invalidSecret,
    };

    KeychainError(Kind kind, std::string storeMessage);

    Kind kind() const { return m_kind; }
    // The keyring's (or the bus's) own error text, "" when there is none.
    const std::string& storeMessage() const { return m_storeMessage; }

    // The fixed English description users see where no localised text replaces it.
    const std::string& errorDescription() const { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    Kind m_kind;
    std::string m_storeMessage;
    std::string m_description;
};

}  // namespace tarn
