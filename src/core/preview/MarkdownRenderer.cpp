#include "core/preview/MarkdownRenderer.h"

#include "core/text/AsciiCase.h"
#include "core/text/UnicodeNumeric.h"
#include "core/text/Utf8.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace tarn::MarkdownRenderer {

namespace {

constexpr std::string_view pageStart =
    "<!doctype html><html><head><meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<style>";

// Both colour schemes; the background stays transparent so the host view's colour shows.
constexpr std::string_view styleSheet =
    ":root{color-scheme:light dark;}"
    "*{box-sizing:border-box;}"
    "body{font-family:-apple-system,ui-sans-serif,system-ui,sans-serif;font-size:13px;line-height:1.6;"
    "margin:0;padding:14px 16px;color:#1d1d1f;background:transparent;word-wrap:break-word;"
    "-webkit-text-size-adjust:100%;}"
    "h1,h2,h3,h4,h5,h6{font-weight:600;line-height:1.3;margin:1.2em 0 0.5em;}"
    "h1{font-size:1.7em;border-bottom:1px solid rgba(128,128,128,0.25);padding-bottom:0.2em;}"
    "h2{font-size:1.4em;border-bottom:1px solid rgba(128,128,128,0.2);padding-bottom:0.2em;}"
    "h3{font-size:1.2em;}"
    "h4{font-size:1.05em;}"
    "p{margin:0.6em 0;}"
    "a{color:#0066cc;text-decoration:none;}"
    "a:hover{text-decoration:underline;}"
    "code{font-family:ui-monospace,SFMono-Regular,Menlo,monospace;font-size:0.9em;"
    "background:rgba(128,128,128,0.16);padding:0.15em 0.4em;border-radius:4px;}"
    "pre{background:rgba(128,128,128,0.12);padding:12px;border-radius:8px;overflow-x:auto;}"
    "pre code{background:none;padding:0;}"
    "blockquote{margin:0.6em 0;padding:0.2em 0.9em;color:#6b6b70;border-left:3px solid rgba(128,128,128,0.4);}"
    "ul,ol{padding-left:1.6em;margin:0.5em 0;}"
    "li{margin:0.2em 0;}"
    "img{max-width:100%;height:auto;border-radius:6px;}"
    "hr{border:none;border-top:1px solid rgba(128,128,128,0.3);margin:1.2em 0;}"
    "table{border-collapse:collapse;}"
    "td,th{border:1px solid rgba(128,128,128,0.3);padding:4px 8px;}"
    "@media (prefers-color-scheme:dark){"
    "body{color:#e6e6e9;}"
    "a{color:#5aa9ff;}"
    "blockquote{color:#9b9ba1;}"
    "}";

constexpr std::string_view pageEnd = "</body></html>";

constexpr std::string_view spacesAndTabs = " \t";

// Generated tags that carry attributes are parked behind this marker while later
// rules run, so no rule can reach into an attribute value and close it early.
// Escaping turns every NUL of the input into U+FFFD, so the marker cannot be forged.
constexpr char parked = '\0';
constexpr std::string_view parkedMark{&parked, 1};
constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(spacesAndTabs);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(spacesAndTabs);
    return text.substr(first, last - first + 1);
}

// Double quotes too: inline text ends up inside quoted attribute values (alt,
// src, href). Code blocks take the same escaping; it shows the same characters.
std::string escaped(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': result += "&amp;"; break;
            case '<': result += "&lt;"; break;
            case '>': result += "&gt;"; break;
            case '"': result += "&quot;"; break;
            case parked: result += replacementCharacter; break;
            default: result += c;
        }
    }
    return result;
}

// Only targets that open a web page, a mail or another file of the same place;
// "javascript:", "data:", "file:" and the like stay plain text. A colon before any
// "/", "?" or "#" is a scheme, and then it must be one of the three exactly, so
// a control character or an entity in front of a scheme cannot slip through.
constexpr std::string_view schemeEnd = ":/?#";

// Compared in place: a hostile "scheme" can be as long as the line.
bool isAllowedScheme(std::string_view scheme) {
    return AsciiCase::equalsIgnoringCase(scheme, "http") || AsciiCase::equalsIgnoringCase(scheme, "https") ||
           AsciiCase::equalsIgnoringCase(scheme, "mailto");
}

struct Replacement {
    std::size_t end;  // one past the matched text
    std::string html;
};

// Every match of a rule, scanned left to right without overlaps, as a regular
// expression replacement does: after a match the scan goes on behind it, after a
// failed attempt at the next character.
template <typename Rule>
std::string replaceAll(const std::string& text, char start, Rule rule) {
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == start) {
            if (std::optional<Replacement> match = rule(i)) {
                result += match->html;
                i = match->end;
                continue;
            }
        }
        result += text[i];
        ++i;
    }
    return result;
}

class InlineRenderer {
public:
    std::string render(std::string_view source) {
        std::string text = escaped(source);
        text = replaceAll(text, '`', [&](std::size_t i) { return code(text, i); });
        {
            BracketSearch search(text);
            text = replaceAll(text, '!', [&](std::size_t i) { return image(search, i); });
        }
        {
            BracketSearch search(text);
            text = replaceAll(text, '[', [&](std::size_t i) { return link(search, i); });
        }
        text = replaceAll(text, '*', [&](std::size_t i) { return strong(text, i); });
        text = replaceAll(text, '*', [&](std::size_t i) { return emphasis(text, i); });
        return unparked(text);
    }

private:
    std::vector<std::string> m_parkedTags;

    std::string park(std::string tag) {
        m_parkedTags.push_back(std::move(tag));
        return parked + std::to_string(m_parkedTags.size() - 1) + parked;
    }

    std::string unparked(const std::string& text) const {
        std::string result;
        result.reserve(text.size());
        std::size_t i = 0;
        while (i < text.size()) {
            if (text[i] != parked) {
                result += text[i++];
                continue;
            }
            const std::size_t close = text.find(parked, i + 1);
            result += m_parkedTags[std::stoul(text.substr(i + 1, close - i - 1))];
            i = close + 1;
        }
        return result;
    }

    // `code`: "`([^`]+)`"
    static std::optional<Replacement> code(const std::string& text, std::size_t i) {
        const std::size_t close = text.find('`', i + 1);
        if (close == std::string::npos || close == i + 1) return std::nullopt;
        return Replacement{close + 1, "<code>" + text.substr(i + 1, close - i - 1) + "</code>"};
    }

    // The first position at or after a given one of any of some characters. A
    // rule's attempts come at rising positions, so each stretch of the line is
    // searched once and a hostile line of ten thousand "[" stays linear.
    class ForwardSearch {
    public:
        ForwardSearch(const std::string& text, std::string_view characters)
            : m_text(text), m_characters(characters) {}

        std::size_t from(std::size_t position) {
            const bool stillFirst = m_searched && m_searchedFrom <= position &&
                                    (m_found == std::string::npos || m_found >= position);
            if (!stillFirst) {
                m_found = m_text.find_first_of(m_characters, position);
                m_searchedFrom = position;
                m_searched = true;
            }
            return m_found;
        }

        // Whether one of the characters lies in [start, end).
        bool within(std::size_t start, std::size_t end) { return from(start) < end; }

    private:
        const std::string& m_text;
        std::string_view m_characters;
        bool m_searched = false;
        std::size_t m_searchedFrom = 0;
        std::size_t m_found = std::string::npos;
    };

    // The "[label](target)" shape shared by images and links, as positions in the
    // text: the label runs to the first "]", the target is a run without ")" and
    // whitespace closed by ")". Nothing is copied until a rule takes the match.
    struct Bracketed {
        std::size_t labelStart;
        std::size_t labelEnd;  // the "]"
        std::size_t targetStart;
        std::size_t targetEnd;  // the ")"

        std::size_t end() const { return targetEnd + 1; }
    };

    // Finds the bracketed shapes of one rule's pass over the text, with targets the
    // rules accept. Every "[" of a run such as "[[[[x](javascript:y)" closes at the
    // same "](", so the target after each "](" is judged once, not once per "[".
    class BracketSearch {
    public:
        explicit BracketSearch(const std::string& text)
            : m_text(text), m_labelEnd(text, "]"), m_targetEnd(text, ")\t\n\v\f\r "), m_schemeEnd(text, schemeEnd),
              m_parkedInLabel(text, parkedMark), m_parkedInTarget(text, parkedMark) {}

        const std::string& text() const { return m_text; }

        std::optional<Bracketed> at(std::size_t open) {
            const std::size_t closeLabel = m_labelEnd.from(open + 1);
            if (closeLabel == std::string::npos || closeLabel + 1 >= m_text.size() || m_text[closeLabel + 1] != '(') {
                return std::nullopt;
            }
            if (closeLabel != m_judgedAt) {
                m_judgedAt = closeLabel;
                m_verdict = judgedTarget(closeLabel + 2);
            }
            if (!m_verdict) return std::nullopt;
            return Bracketed{open + 1, closeLabel, closeLabel + 2, *m_verdict};
        }

        // A generated tag's marker inside the label: it must not land in an attribute.
        bool labelHasParkedTag(const Bracketed& match) {
            return m_parkedInLabel.within(match.labelStart, match.labelEnd);
        }

        std::string_view label(const Bracketed& match) const {
            return std::string_view(m_text).substr(match.labelStart, match.labelEnd - match.labelStart);
        }
        std::string_view target(const Bracketed& match) const {
            return std::string_view(m_text).substr(match.targetStart, match.targetEnd - match.targetStart);
        }

    private:
        // The ")" that closes an acceptable target starting at `start`, or none.
        std::optional<std::size_t> judgedTarget(std::size_t start) {
            const std::size_t close = m_targetEnd.from(start);
            if (close == std::string::npos || close == start || m_text[close] != ')') return std::nullopt;
            if (m_parkedInTarget.within(start, close)) return std::nullopt;
            const std::size_t colon = m_schemeEnd.from(start);
            if (colon < close && m_text[colon] == ':' &&
                !isAllowedScheme(std::string_view(m_text).substr(start, colon - start))) {
                return std::nullopt;
            }
            return close;
        }

        const std::string& m_text;
        ForwardSearch m_labelEnd;
        ForwardSearch m_targetEnd;
        ForwardSearch m_schemeEnd;
        ForwardSearch m_parkedInLabel;
        ForwardSearch m_parkedInTarget;
        std::size_t m_judgedAt = std::string::npos;  // the "]" of the last "](" judged
        std::optional<std::size_t> m_verdict;        // its target's ")", or none when refused
    };

    // ![alt](src): "!\[([^\]]*)\]\(([^)\s]+)\)"
    std::optional<Replacement> image(BracketSearch& search, std::size_t i) {
        const std::string& text = search.text();
        if (i + 1 >= text.size() || text[i + 1] != '[') return std::nullopt;
        const auto match = search.at(i + 1);
        if (!match || search.labelHasParkedTag(*match)) return std::nullopt;
        std::string html = "<img alt=\"";
        html += search.label(*match);
        html += "\" src=\"";
        html += search.target(*match);
        html += "\">";
        return Replacement{match->end(), park(std::move(html))};
    }

    // [text](href): "\[([^\]]+)\]\(([^)\s]+)\)"; the text may hold images and stays
    // open to emphasis.
    std::optional<Replacement> link(BracketSearch& search, std::size_t i) {
        const auto match = search.at(i);
        if (!match || match->labelEnd == match->labelStart) return std::nullopt;
        std::string html = park("<a href=\"" + std::string(search.target(*match)) + "\">");
        html += search.label(*match);
        html += "</a>";
        return Replacement{match->end(), std::move(html)};
    }

    // **strong**: "\*\*([^*]+)\*\*"
    static std::optional<Replacement> strong(const std::string& text, std::size_t i) {
        if (i + 1 >= text.size() || text[i + 1] != '*') return std::nullopt;
        const std::size_t close = text.find('*', i + 2);
        if (close == std::string::npos || close == i + 2 || close + 1 >= text.size() || text[close + 1] != '*') {
            return std::nullopt;
        }
        return Replacement{close + 2, "<strong>" + text.substr(i + 2, close - i - 2) + "</strong>"};
    }

    // *emphasis*: "\*([^*]+)\*"
    static std::optional<Replacement> emphasis(const std::string& text, std::size_t i) {
        const std::size_t close = text.find('*', i + 1);
        if (close == std::string::npos || close == i + 1) return std::nullopt;
        return Replacement{close + 1, "<em>" + text.substr(i + 1, close - i - 1) + "</em>"};
    }
};

std::string inlineHtml(std::string_view text) { return InlineRenderer().render(text); }

std::optional<std::string> heading(std::string_view line) {
    const std::size_t level = std::min(line.find_first_not_of('#'), line.size());
    if (level < 1 || level > 6 || level >= line.size() || line[level] != ' ') return std::nullopt;
    const std::string tag = std::to_string(level);
    return "<h" + tag + ">" + inlineHtml(trimmed(line.substr(level))) + "</h" + tag + ">";
}

// "1. text", also with digits of other scripts ("١. ", "３. ", "三. "): the
// content, or none. Item numbers are not kept; the list counts from 1.
std::optional<std::string_view> orderedItem(std::string_view line) {
    const std::size_t dot = line.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 >= line.size() || line[dot + 1] != ' ') {
        return std::nullopt;
    }
    const auto number = Utf8::codePoints(line.substr(0, dot));
    if (!number || !std::all_of(number->begin(), number->end(), UnicodeNumeric::isNumeric)) return std::nullopt;
    return trimmed(line.substr(dot + 2));
}

class BodyRenderer {
public:
    std::string render(std::string_view markdown) {
        std::string text;
        text.reserve(markdown.size());
        for (std::size_t i = 0; i < markdown.size(); ++i) {
            if (markdown[i] == '\r' && i + 1 < markdown.size() && markdown[i + 1] == '\n') continue;
            text += markdown[i];
        }
        std::size_t start = 0;
        while (true) {
            const std::size_t end = text.find('\n', start);
            line(std::string_view(text).substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        if (m_inCode) flushCode();
        closeList();
        return std::move(m_html);
    }

private:
    std::string m_html;
    std::string_view m_openList;  // "", "ul" or "ol"
    bool m_inCode = false;
    std::vector<std::string_view> m_codeLines;

    void closeList() {
        if (m_openList.empty()) return;
        m_html += "</";
        m_html += m_openList;
        m_html += '>';
        m_openList = {};
    }

    void openList(std::string_view tag) {
        if (m_openList == tag) return;
        closeList();
        m_html += '<';
        m_html += tag;
        m_html += '>';
        m_openList = tag;
    }

    void flushCode() {
        std::string code;
        for (std::size_t i = 0; i < m_codeLines.size(); ++i) {
            if (i > 0) code += '\n';
            code += m_codeLines[i];
        }
        m_html += "<pre><code>" + escaped(code) + "</code></pre>";
        m_codeLines.clear();
        m_inCode = false;
    }

    void line(std::string_view raw) {
        const std::string_view text = trimmed(raw);
        if (text.starts_with("```")) {
            if (m_inCode) {
                flushCode();
            } else {
                closeList();
                m_inCode = true;  // a language name after the fence is ignored
            }
            return;
        }
        if (m_inCode) {
            m_codeLines.push_back(raw);
            return;
        }
        if (text.empty()) {
            closeList();  // blank lines only end lists
            return;
        }
        if (auto html = heading(text)) {
            closeList();
            m_html += *html;
            return;
        }
        if (text == "---" || text == "***" || text == "___") {
            closeList();
            m_html += "<hr>";
            return;
        }
        if (text.front() == '>') {
            closeList();
            m_html += "<blockquote>" + inlineHtml(trimmed(text.substr(1))) + "</blockquote>";
            return;
        }
        if (auto content = orderedItem(text)) {
            openList("ol");
            m_html += "<li>" + inlineHtml(*content) + "</li>";
            return;
        }
        if (text.starts_with("- ") || text.starts_with("* ") || text.starts_with("+ ")) {
            openList("ul");
            m_html += "<li>" + inlineHtml(text.substr(2)) + "</li>";
            return;
        }
        closeList();
        m_html += "<p>" + inlineHtml(text) + "</p>";
    }
};

}  // namespace

std::string renderBody(std::string_view markdown) { return BodyRenderer().render(markdown); }

std::string html(std::string_view markdown) {
    std::string page(pageStart);
    page += styleSheet;
    page += "</style></head><body>";
    page += renderBody(markdown);
    page += pageEnd;
    return page;
}

}  // namespace tarn::MarkdownRenderer
