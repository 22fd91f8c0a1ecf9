#pragma once

#include "app/state/PublicDomainForm.h"
#include "core/values/Uuid.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn {

// The bucket form's editable copy of one bucket. Saving reads only the ID, the names
// and the domain rows; the account's fields are there for the form to show.
struct BucketForm {
    std::optional<Uuid> id;  // none: the form has no bucket and saving does nothing
    std::string profileName;
    std::string displayName;
    std::string bucketName;
    std::string endpoint;
    std::string publicBaseURL;
    std::string region;
    std::string accessKeyID;
    std::string secretAccessKey;  // never filled in from the keyring
    std::vector<PublicDomainForm> publicDomains;

    bool operator==(const BucketForm&) const = default;
};

}  // namespace tarn
