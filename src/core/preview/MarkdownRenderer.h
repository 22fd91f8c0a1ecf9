#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Markdown objects as one self-contained HTML page for the inspector's preview. A
// small line-based converter: one block per line, no nesting, no tables. The text
// comes from storage and is untrusted: input HTML is always escaped, attribute
// values can never be closed early, and links and images only point to http,
// https, mailto or relative targets.
namespace MarkdownRenderer {

// The whole page: head, style sheet (light and dark schemes) and body.
std::string html(std::string_view markdown);

// The body HTML only.
std::string renderBody(std::string_view markdown);

}  // namespace MarkdownRenderer

}  // namespace tarn
