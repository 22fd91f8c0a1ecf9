#include "core/preview/MIMETypeOverlay.h"

#include <array>

namespace tarn::MIMETypeOverlay {

namespace {

// Registered types where one exists (application/yaml, application/toml); the
// customary "text/x-" names otherwise, so that browsers and the preview treat the
// files as text. Shells take the type the generated table gives "sh". "ts" is
// left to the generated table: TypeScript shares it with MPEG transport streams
// (and Qt translations), so no one answer suits every file.
constexpr std::array<MIMETypeTable::Entry, 37> table{{
    {"bash", "application/x-sh"},
    {"cjs", "text/javascript"},
    {"clj", "text/x-clojure"},
    {"cljs", "text/x-clojure"},
    {"cmake", "text/x-cmake"},
    {"cs", "text/x-csharp"},
    {"erl", "text/x-erlang"},
    {"ex", "text/x-elixir"},
    {"exs", "text/x-elixir"},
    {"go", "text/x-go"},
    {"gql", "application/graphql"},
    {"gradle", "text/x-groovy"},
    {"graphql", "application/graphql"},
    {"groovy", "text/x-groovy"},
    {"jl", "text/x-julia"},
    {"jsx", "text/jsx"},
    {"kt", "text/x-kotlin"},
    {"kts", "text/x-kotlin"},
    {"less", "text/less"},
    {"log", "text/plain"},
    {"lua", "text/x-lua"},
    {"mk", "text/x-makefile"},
    {"php", "application/x-httpd-php"},
    {"proto", "text/x-protobuf"},
    {"ps1", "text/x-powershell"},
    {"r", "text/x-r"},
    {"rs", "text/x-rust"},
    {"sass", "text/x-sass"},
    {"scss", "text/x-scss"},
    {"swift", "text/x-swift"},
    {"toml", "application/toml"},
    {"tsx", "text/tsx"},
    {"vue", "text/x-vue"},
    {"yaml", "application/yaml"},
    {"yml", "application/yaml"},
    {"zig", "text/x-zig"},
    {"zsh", "application/x-sh"},
}};

}  // namespace

std::span<const MIMETypeTable::Entry> entries() { return table; }

}  // namespace tarn::MIMETypeOverlay
