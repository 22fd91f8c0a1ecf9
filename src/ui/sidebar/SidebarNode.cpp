#include "ui/sidebar/SidebarNode.h"

#include "core/storage/StorageModels.h"

#include <utility>

namespace tarn {

SidebarNode SidebarNode::group(QString title, std::string key, std::vector<SidebarNode> children)
{
    SidebarNode node;
    node.kind = Kind::group;
    node.title = std::move(title);
    node.groupKey = std::move(key);
    node.children = std::move(children);
    return node;
}

SidebarNode SidebarNode::bucketRow(BucketConfig bucket)
{
    SidebarNode node;
    node.kind = Kind::bucket;
    node.bucket = std::move(bucket);
    return node;
}

SidebarNode SidebarNode::favoriteDirectoryRow(const FavoriteDirectoryItem& item)
{
    SidebarNode node;
    node.kind = Kind::favoriteDirectory;
    node.bucket = item.bucket;
    node.favorite = item.favorite;
    return node;
}

std::string SidebarNode::identity() const
{
    switch (kind) {
    case Kind::group:
        return "group:" + groupKey;
    case Kind::bucket:
        return "bucket:" + bucket.id.toString();
    case Kind::favoriteDirectory:
        return "directory:" + favoriteDirectoryItem().id();
    }
    return {};
}

QString SidebarNode::text() const
{
    switch (kind) {
    case Kind::group:
        return title.toUpper();
    case Kind::bucket:
        return QString::fromStdString(bucket.displayName);
    case Kind::favoriteDirectory:
        return QString::fromStdString(bucket.displayName) + QStringLiteral(" / ") +
               QString::fromStdString(ObjectPrefix{favorite.prefix}.displayName());
    }
    return {};
}

}  // namespace tarn
