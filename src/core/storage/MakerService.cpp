#include "core/storage/MakerService.h"

#include "core/text/AsciiCase.h"

#include <string>

namespace tarn::MakerService {

bool isStorageEndpoint(const Url& endpoint) {
    const std::optional<std::string>& host = endpoint.host();
    if (!host || endpoint.hostIsIpLiteral()) return false;
    std::string name = AsciiCase::lowercased(*host);
    if (name.ends_with('.')) name.pop_back();
    if (name == storageDomain) return true;
    // A whole label must precede the domain: "evilcorvane.example" is someone else's.
    return name.size() > storageDomain.size() && name.ends_with(storageDomain) &&
           name[name.size() - storageDomain.size() - 1] == '.';
}

}  // namespace tarn::MakerService
