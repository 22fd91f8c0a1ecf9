#include "app/transfers/UploadKeyClashes.h"

#include <string_view>
#include <unordered_map>

namespace tarn::UploadKeyClashes {

std::vector<std::optional<std::size_t>> earlierWithSameKey(const std::vector<UploadItem>& items) {
    std::vector<std::optional<std::size_t>> earlier(items.size());
    std::unordered_map<std::string_view, std::size_t> first;
    first.reserve(items.size());
    for (std::size_t position = 0; position < items.size(); ++position) {
        const auto [found, isNew] = first.try_emplace(items[position].key, position);
        if (!isNew) earlier[position] = found->second;
    }
    return earlier;
}

}  // namespace tarn::UploadKeyClashes
