#pragma once

#include <exception>
#include <string>

namespace tarn {

// A part of a multipart upload that failed for good: it could not be read from the
// local file, or its last attempt failed (and was not to be retried, or no attempt
// was left).
class PartUploadError : public std::exception {
public:
    enum class Cause {
        localFile,  // the part could not be read; no attempt was made
        transfer,   // the last attempt failed with the underlying error
    };

    PartUploadError(int partNumber, int attempts, Cause cause, std::exception_ptr underlying);

    int partNumber() const { return m_partNumber; }
    // Attempts made; 0 when the part could not be read.
    int attempts() const { return m_attempts; }
    Cause cause() const { return m_cause; }
    // The error of the file read or of the last attempt.
    const std::exception_ptr& underlying() const { return m_underlying; }

    // "Part 3 failed after 4 attempt(s): " and the underlying error's description.
    const std::string& errorDescription() const { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    int m_partNumber;
    int m_attempts;
    Cause m_cause;
    std::exception_ptr m_underlying;
    std::string m_description;
};

}  // namespace tarn
