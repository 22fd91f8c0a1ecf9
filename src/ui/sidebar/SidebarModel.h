#pragma once

#include "core/values/Uuid.h"
#include "ui/sidebar/SidebarNode.h"

#include <QAbstractItemModel>

#include <unordered_set>
#include <vector>

namespace tarn {

class AppState;

// The sidebar's two-level tree: groups (favourite buckets, favourite folders, one
// per account) and their buckets and folders. A new configuration that keeps the
// same rows in the same order changes them in place, so the view keeps its
// selection and scroll position; any other change resets the model.
class SidebarModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Role {
        // SidebarNode::Kind as an int.
        kindRole = Qt::UserRole + 1,
        // Whether a bucket row's bucket is a favourite.
        favoriteRole,
    };

    explicit SidebarModel(QObject* parent = nullptr);

    // The groups the state shows, in order: the favourite buckets (newest first) and
    // the favourite folders when there are any, then one group per account, also
    // for an account without buckets. A favourite bucket is listed twice.
    static std::vector<SidebarNode> nodesOf(const AppState& state);

    // Shows these groups; true when the model was reset.
    bool setNodes(std::vector<SidebarNode> groups, const std::vector<Uuid>& favoriteBucketIDs);
    const std::vector<SidebarNode>& groups() const { return m_groups; }

    // The node of an index; null for an invalid index.
    const SidebarNode* node(const QModelIndex& index) const;
    bool isFavorite(const Uuid& bucketID) const { return m_favorites.contains(bucketID); }
    // The first bucket row of the bucket, walking the groups in order (so a favourite
    // is found among the favourites); invalid when there is none. Favourite folders
    // are never the bucket's row.
    QModelIndex firstBucketIndex(const Uuid& bucketID) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    static bool sameRows(const std::vector<SidebarNode>& a, const std::vector<SidebarNode>& b);

    std::vector<SidebarNode> m_groups;
    std::unordered_set<Uuid> m_favorites;
};

}  // namespace tarn
