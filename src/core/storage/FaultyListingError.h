#pragma once

#include <stdexcept>
#include <string>

namespace tarn {

// A listing page no server could truthfully send: an object of negative size (it
// would pass every size limit, and take from the sizes it is added to), or a folder
// that does not lie below the folder listed (a folder move or count that entered it
// would list the same folder again, for ever). Whatever acted on such an answer would
// act on what is not there, so the page is refused as a whole.
class FaultyListingError : public std::runtime_error {
public:
    enum class Fault {
        negativeSize,    // `name` is the object's key
        folderNotBelow,  // `name` is the folder, `prefix` the folder listed
    };

    FaultyListingError(Fault fault, std::string prefix, std::string name);

    Fault fault() const { return m_fault; }
    const std::string& prefix() const { return m_prefix; }
    const std::string& name() const { return m_name; }

private:
    Fault m_fault;
    std::string m_prefix;
    std::string m_name;
};

}  // namespace tarn
