#pragma once

#include <span>
#include <string_view>

namespace tarn {

// The fixed extension-to-type list that stands in for a system type registry. It is
// generated once (scripts/dev/gen-mime-table.py) and compiled in, so an upload gets
// the same Content-Type on every machine. MIMETypeOverlay corrects a few entries.
namespace MIMETypeTable {

struct Entry {
    std::string_view extension;  // lower-case, without the dot
    std::string_view type;
};

// Every entry, sorted by extension, one per extension.
std::span<const Entry> entries();

}  // namespace MIMETypeTable

}  // namespace tarn
