#pragma once

#include <QString>

#include <string>

namespace tarn {

// One entry of the breadcrumb: the bucket's root or one folder on the way down.
struct PathItem {
    QString title;
    std::string prefix;

    // The prefix, or "root" for the bucket's root.
    std::string id() const { return prefix.empty() ? std::string("root") : prefix; }
    bool operator==(const PathItem&) const = default;
};

}  // namespace tarn
