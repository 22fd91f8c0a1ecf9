#pragma once

#include <stdexcept>
#include <string>

namespace tarn {

// A name, key, metadata entry or download target refused before anything was sent or
// written, because it could not reach the server or the disk as it stands. Still a
// std::invalid_argument; the reason and the name concerned let the interface say
// why in its own language.
class RefusedInputError : public std::invalid_argument {
public:
    enum class Reason {
        emptyName,          // a folder name or object key that is empty
        dotName,            // a folder name with a "." or ".." piece
        metadataName,       // a metadata name that is not an HTTP token
        metadataValue,      // a metadata value with control or non-ASCII characters
        metadataDuplicate,  // two metadata names that differ only in letter case
        downloadName,       // a key that cannot be a file name below the download folder
        downloadLink,       // a symbolic link where the download would go
        downloadNotFolder,  // a file where the download needs a folder
        downloadFolderInTheWay,  // a folder where the download needs a file
    };

    // `subject`: the name, key or metadata name concerned ("" for emptyName);
    // `description`: the English text what() gives.
    RefusedInputError(Reason reason, std::string subject, const std::string& description);

    Reason reason() const { return m_reason; }
    const std::string& subject() const { return m_subject; }

private:
    Reason m_reason;
    std::string m_subject;
};

}  // namespace tarn
