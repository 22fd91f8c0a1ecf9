#pragma once

#include <QString>

namespace tarn {

// How a connection test of one bucket ended, for a caller that shows more than the
// toast the test sends itself.
struct ConnectionTestOutcome {
    enum class Status {
        succeeded,      // the bucket's root folder was listed
        missingSecret,  // no secret is stored for the bucket's account: nothing was sent
        failed,         // the server refused or could not be reached
        cancelled,      // the state went away first
    };

    Status status = Status::failed;
    // The text of the toast: the success text, or the error's description.
    QString message;

    friend bool operator==(const ConnectionTestOutcome&, const ConnectionTestOutcome&) = default;
};

}  // namespace tarn
