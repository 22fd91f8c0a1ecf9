#include "core/storage/FaultyListingError.h"

namespace tarn {

namespace {

std::string describe(FaultyListingError::Fault fault, const std::string& prefix, const std::string& name) {
    switch (fault) {
    case FaultyListingError::Fault::negativeSize:
        return "The server listed \"" + name + "\" with a negative size; the listing was not used.";
    case FaultyListingError::Fault::folderNotBelow:
        return "Asked for the contents of \"" + prefix + "\", the server listed \"" + name +
               "\" as a folder inside it, which it cannot be; the listing was not used.";
    }
    return "The server sent a faulty listing; it was not used.";
}

}  // namespace

FaultyListingError::FaultyListingError(Fault fault, std::string prefix, std::string name)
    : std::runtime_error(describe(fault, prefix, name)), m_fault(fault), m_prefix(std::move(prefix)),
      m_name(std::move(name)) {}

}  // namespace tarn
