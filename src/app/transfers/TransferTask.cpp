#include "app/transfers/TransferTask.h"

#include "app/transfers/RenameRules.h"

#include <algorithm>

namespace tarn {

double TransferTask::fraction() const {
    if (bytesTotal > 0) return std::min(1.0, static_cast<double>(bytesDone) / static_cast<double>(bytesTotal));
    if (unitsTotal > 0) return std::min(1.0, (unitsDone + currentUnitFraction) / unitsTotal);
    return 0;
}

std::string TransferTask::placeholderKey() const { return "upload:" + id.toString(); }

std::optional<std::string> TransferTask::placeholderRealKey() const {
    if (const auto* upload = spec.upload()) {
        if (isFolder) return upload->directory + title + "/";
        return succeededObjectKey ? *succeededObjectKey : upload->directory + title;
    }
    if (const auto* rename = spec.rename()) {
        return rename->isFolder ? RenameRules::folderPrefix(rename->destination) : rename->destination;
    }
    return std::nullopt;
}

std::optional<std::string> TransferTask::renameParentDirectory() const {
    const auto* rename = spec.rename();
    if (rename == nullptr) return std::nullopt;
    return std::string(renameParent(*rename));
}

std::string_view renameParent(const RenameSpec& rename) {
    std::string_view source = rename.source;
    if (rename.isFolder && source.ends_with('/')) source.remove_suffix(1);
    const auto slash = source.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : source.substr(0, slash + 1);
}

}  // namespace tarn
