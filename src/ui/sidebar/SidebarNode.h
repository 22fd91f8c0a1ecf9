#pragma once

#include "app/state/FavoriteDirectoryItem.h"
#include "core/config/ConfigModels.h"

#include <QString>

#include <string>
#include <vector>

namespace tarn {

// One row of the sidebar: a group header, or a bucket or favourite folder inside a
// group. The tree has two levels: groups at the top, the others their children.
struct SidebarNode {
    enum class Kind { group, bucket, favoriteDirectory };

    Kind kind = Kind::group;
    // A group's title as given (shown in upper case).
    QString title;
    // What a group stands for ("favorites", "favoriteDirectories", or
    // "profile:" and the account's ID): the group keeps it across renames.
    std::string groupKey;
    // The bucket of a bucket row, and the bucket of a favourite folder.
    BucketConfig bucket;
    // The favourite folder of a favourite-folder row.
    FavoriteDirectory favorite;
    std::vector<SidebarNode> children;

    static SidebarNode group(QString title, std::string key, std::vector<SidebarNode> children);
    static SidebarNode bucketRow(BucketConfig bucket);
    static SidebarNode favoriteDirectoryRow(const FavoriteDirectoryItem& item);

    FavoriteDirectoryItem favoriteDirectoryItem() const { return {favorite, bucket}; }
    // What the row stands for, whatever it shows: equal identities are the same row
    // before and after a change of the configuration.
    std::string identity() const;
    // The text the row shows.
    QString text() const;

    bool operator==(const SidebarNode&) const = default;
};

}  // namespace tarn
