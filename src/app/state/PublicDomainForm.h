#pragma once

#include "core/values/Uuid.h"

#include <optional>
#include <string>

namespace tarn {

// One CDN domain row of the bucket form, as the user edits it.
struct PublicDomainForm {
    Uuid id;
    std::string scheme;
    std::string host;  // as typed; a blank host removes the domain (and its token key)
    // The token key as typed, "" when the field is empty. None means the form holds no
    // text for the key: saving leaves whatever the keyring stores for the domain as it
    // is. A form begins so for a key the keyring could not read, so an edit of the
    // display name or of another row can never delete or replace a key nobody saw.
    std::optional<std::string> cdnAuthKey;

    bool operator==(const PublicDomainForm&) const = default;
};

}  // namespace tarn
