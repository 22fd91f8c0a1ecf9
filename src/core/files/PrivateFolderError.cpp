#include "core/files/PrivateFolderError.h"

namespace tarn {

namespace {

const char* explanation(PrivateFolderError::Reason reason) {
    switch (reason) {
        case PrivateFolderError::Reason::notADirectory: return "is not a folder";
        case PrivateFolderError::Reason::symbolicLink: return "is a symbolic link";
        case PrivateFolderError::Reason::wrongOwner: return "belongs to another user";
        case PrivateFolderError::Reason::accessibleToOthers: return "is open to other users (it must have mode 0700)";
    }
    return "cannot be used";
}

}  // namespace

PrivateFolderError::PrivateFolderError(Reason reason, std::filesystem::path path)
    : m_reason(reason), m_path(std::move(path)),
      m_description("The private folder " + m_path.string() + " " + explanation(reason) + ".") {}

}  // namespace tarn
