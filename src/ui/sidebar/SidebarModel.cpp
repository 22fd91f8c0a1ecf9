#include "ui/sidebar/SidebarModel.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"

#include <algorithm>
#include <utility>

namespace tarn {
namespace {

// A child's internal ID is its group's row + 1; a group's is 0.
constexpr quintptr kGroupLevel = 0;

}  // namespace

SidebarModel::SidebarModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

std::vector<SidebarNode> SidebarModel::nodesOf(const AppState& state)
{
    std::vector<SidebarNode> groups;
    if (std::vector<BucketConfig> favorites = state.favoriteBuckets(); !favorites.empty()) {
        std::vector<SidebarNode> rows;
        rows.reserve(favorites.size());
        for (BucketConfig& bucket : favorites) {
            rows.push_back(SidebarNode::bucketRow(std::move(bucket)));
        }
        groups.push_back(SidebarNode::group(L10n::t(QStringLiteral("favorites")), "favorites", std::move(rows)));
    }
    if (const std::vector<FavoriteDirectoryItem> folders = state.favoriteDirectoryItems(); !folders.empty()) {
        std::vector<SidebarNode> rows;
        rows.reserve(folders.size());
        for (const FavoriteDirectoryItem& item : folders) {
            rows.push_back(SidebarNode::favoriteDirectoryRow(item));
        }
        groups.push_back(SidebarNode::group(L10n::t(QStringLiteral("favorite_directories")), "favoriteDirectories",
                                            std::move(rows)));
    }
    for (const StorageProfile& profile : state.config().profiles) {
        std::vector<SidebarNode> rows;
        for (BucketConfig& bucket : state.buckets(profile)) {
            rows.push_back(SidebarNode::bucketRow(std::move(bucket)));
        }
        groups.push_back(SidebarNode::group(QString::fromStdString(profile.name), "profile:" + profile.id.toString(),
                                            std::move(rows)));
    }
    return groups;
}

bool SidebarModel::setNodes(std::vector<SidebarNode> groups, const std::vector<Uuid>& favoriteBucketIDs)
{
    std::unordered_set<Uuid> favorites(favoriteBucketIDs.begin(), favoriteBucketIDs.end());
    if (!sameRows(m_groups, groups)) {
        beginResetModel();
        m_groups = std::move(groups);
        m_favorites = std::move(favorites);
        endResetModel();
        return true;
    }
    if (groups == m_groups && favorites == m_favorites) {
        return false;
    }
    m_groups = std::move(groups);
    m_favorites = std::move(favorites);
    // Names, display names and stars may have changed; every row is repainted.
    for (int row = 0; row < static_cast<int>(m_groups.size()); ++row) {
        const QModelIndex group = index(row, 0);
        emit dataChanged(group, group);
        if (const int children = rowCount(group); children > 0) {
            emit dataChanged(index(0, 0, group), index(children - 1, 0, group));
        }
    }
    return false;
}

const SidebarNode* SidebarModel::node(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this) {
        return nullptr;
    }
    if (index.internalId() == kGroupLevel) {
        return &m_groups[static_cast<std::size_t>(index.row())];
    }
    const SidebarNode& group = m_groups[index.internalId() - 1];
    return &group.children[static_cast<std::size_t>(index.row())];
}

QModelIndex SidebarModel::firstBucketIndex(const Uuid& bucketID) const
{
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const std::vector<SidebarNode>& children = m_groups[g].children;
        for (std::size_t c = 0; c < children.size(); ++c) {
            if (children[c].kind == SidebarNode::Kind::bucket && children[c].bucket.id == bucketID) {
                return createIndex(static_cast<int>(c), 0, static_cast<quintptr>(g + 1));
            }
        }
    }
    return {};
}

QModelIndex SidebarModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent)) {
        return {};
    }
    if (!parent.isValid()) {
        return createIndex(row, column, kGroupLevel);
    }
    return createIndex(row, column, static_cast<quintptr>(parent.row() + 1));
}

QModelIndex SidebarModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == kGroupLevel) {
        return {};
    }
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kGroupLevel);
}

int SidebarModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        return static_cast<int>(m_groups.size());
    }
    if (parent.column() != 0 || parent.internalId() != kGroupLevel) {
        return 0;
    }
    return static_cast<int>(m_groups[static_cast<std::size_t>(parent.row())].children.size());
}

int SidebarModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant SidebarModel::data(const QModelIndex& index, int role) const
{
    const SidebarNode* item = node(index);
    if (item == nullptr) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return item->text();
    case kindRole:
        return static_cast<int>(item->kind);
    case favoriteRole:
        return item->kind == SidebarNode::Kind::bucket && isFavorite(item->bucket.id);
    default:
        return {};
    }
}

Qt::ItemFlags SidebarModel::flags(const QModelIndex& index) const
{
    const SidebarNode* item = node(index);
    if (item == nullptr) {
        return Qt::NoItemFlags;
    }
    // Group headers are enabled (they can be collapsed) but never selected.
    if (item->kind == SidebarNode::Kind::group) {
        return Qt::ItemIsEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool SidebarModel::sameRows(const std::vector<SidebarNode>& a, const std::vector<SidebarNode>& b)
{
    auto sameIdentities = [](const std::vector<SidebarNode>& x, const std::vector<SidebarNode>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                          [](const SidebarNode& n, const SidebarNode& m) { return n.identity() == m.identity(); });
    };
    if (!sameIdentities(a, b)) {
        return false;
    }
    for (std::size_t g = 0; g < a.size(); ++g) {
        if (!sameIdentities(a[g].children, b[g].children)) {
            return false;
        }
    }
    return true;
}

}  // namespace tarn
