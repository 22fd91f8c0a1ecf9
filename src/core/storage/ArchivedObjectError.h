#pragma once

#include <stdexcept>
#include <string>

namespace tarn {

// An object in an archive storage class that the server will not copy until it has
// been restored. A rename, move or metadata edit copies the object, so it stops here;
// the object is left as it is.
class ArchivedObjectError : public std::runtime_error {
public:
    // `storageClass`: the object's class, or the server's error code when the class is
    // not known.
    ArchivedObjectError(std::string key, std::string storageClass);

    const std::string& key() const { return m_key; }
    const std::string& storageClass() const { return m_storageClass; }

private:
    std::string m_key;
    std::string m_storageClass;
};

}  // namespace tarn
