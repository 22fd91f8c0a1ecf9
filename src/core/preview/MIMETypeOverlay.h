#pragma once

#include "core/preview/MIMETypeTable.h"

#include <span>

namespace tarn {

// Hand-kept corrections laid over the generated MIMETypeTable: source code and log
// files that Debian's list lacks or gives a type of another format ("rs" is an XML
// services file there), so they preview as text and upload with a text type. Edit
// this list by hand; scripts/dev/gen-mime-table.py leaves it alone.
namespace MIMETypeOverlay {

// Every entry, sorted by extension, one per extension; each wins over the
// generated table's entry for the same extension.
std::span<const MIMETypeTable::Entry> entries();

}  // namespace MIMETypeOverlay

}  // namespace tarn
