#include "core/config/ConfigModels.h"

namespace tarn {

std::optional<Url> PublicDomain::baseURL() const { return Url::parse(scheme + "://" + host); }

}  // namespace tarn
