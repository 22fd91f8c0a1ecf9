#pragma once

#include "core/values/Url.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarn {

// One region a provider serves: its names in both languages and the code sent to
// the storage service and kept in the account.
struct RegionOption {
    QString zh;
    QString en;
    QString code;

    // The name in the interface language, then two spaces and the code; the code
    // alone when the name is the code.
    QString title() const;
};

// A storage service the add-account sheet offers: its names, the account name used
// when the user gives none, and the endpoint of each of its regions.
struct StorageProvider {
    QString nameZh;
    QString nameEn;
    QString defaultProfile;
    // "{region}" stands for the region's code; a template without it is the one
    // endpoint of every region.
    QString endpointTemplate;
    std::vector<RegionOption> regions;

    // The name in the interface language (Chinese only for the code "zh").
    QString displayName() const;
    QString endpoint(const RegionOption& region) const;

    // The built-in table: the maker's own service first, then four others.
    static std::span<const StorageProvider> all();

    struct Position {
        std::size_t provider;
        std::size_t region;
        bool operator==(const Position&) const = default;
    };
    // The first provider and region of a table whose code is `region` and whose
    // endpoint is exactly `endpoint`; none when the account was made another way.
    static std::optional<Position> locate(std::span<const StorageProvider> providers, const QString& endpoint,
                                          const QString& region);
    // Whether a provider of the table serves `region` at the endpoint's host (in any
    // letter case): an account the sheet adds there is that account, whose secret
    // it stores where the account looks for it.
    static bool serves(std::span<const StorageProvider> providers, const Url& endpoint, const std::string& region);
};

}  // namespace tarn
