#include "core/preview/MarkdownRenderer.h"

#include <gtest/gtest.h>

namespace MarkdownRenderer = tarn::MarkdownRenderer;

namespace {

struct Case {
    std::string markdown;
    std::string body;
};

void expectBodies(const std::vector<Case>& cases) {
    for (const auto& c : cases) EXPECT_EQ(MarkdownRenderer::renderBody(c.markdown), c.body) << c.markdown;
}

}  // namespace

TEST(MarkdownRenderer, BlocksOneLineEach) {
    expectBodies({
        {"# Title", "<h1>Title</h1>"},
        {"###### six", "<h6>six</h6>"},
        {"  ##   spaced out \t", "<h2>spaced out</h2>"},
        {"#word", "<p>#word</p>"},
        {"####### seven", "<p>####### seven</p>"},
        {"#", "<p>#</p>"},
        {"#\ttab", "<p>#\ttab</p>"},
        {"---\n***\n___\n----", "<hr><hr><hr><p>----</p>"},
        {"> quoted *here*", "<blockquote>quoted <em>here</em></blockquote>"},
        {">", "<blockquote></blockquote>"},
        {"one\ntwo", "<p>one</p><p>two</p>"},
        {"one\r\ntwo\r\n", "<p>one</p><p>two</p>"},
        {"\n\n", ""},
    });
}

TEST(MarkdownRenderer, Lists) {
    expectBodies({
        {"1. a\n2. b\n\n3. c", "<ol><li>a</li><li>b</li></ol><ol><li>c</li></ol>"},
        {"- a\n1. b", "<ul><li>a</li></ul><ol><li>b</li></ol>"},
        {"1. a\n- b\n+ c\n* d", "<ol><li>a</li></ol><ul><li>b</li><li>c</li><li>d</li></ul>"},
        {"- a\ntext", "<ul><li>a</li></ul><p>text</p>"},
        {"- a\n# h", "<ul><li>a</li></ul><h1>h</h1>"},
        {"-   wide", "<ul><li>  wide</li></ul>"},
        {"42.   answer  ", "<ol><li>answer</li></ol>"},
        // Digits of any script number an item; the number itself is not kept.
        {"３. full width\n٣. arabic\n三. cjk", "<ol><li>full width</li><li>arabic</li><li>cjk</li></ol>"},
        {"1.5 apples", "<p>1.5 apples</p>"},
        {"a. b", "<p>a. b</p>"},
        {". b", "<p>. b</p>"},
        {"1.", "<p>1.</p>"},
        {"-no space", "<p>-no space</p>"},
    });
}

TEST(MarkdownRenderer, CodeBlocks) {
    expectBodies({
        {"```swift\n  let x = 1 < 2\n\tif a && b {}\n```",
         "<pre><code>  let x = 1 &lt; 2\n\tif a &amp;&amp; b {}</code></pre>"},
        {"- item\n```\n# not a heading\n\n*x*\n   ```\nafter",
         "<ul><li>item</li></ul><pre><code># not a heading\n\n*x*</code></pre><p>after</p>"},
        // An unclosed fence runs to the end.
        {"```\ncode \"q\"", "<pre><code>code &quot;q&quot;</code></pre>"},
        {"```\n```", "<pre><code></code></pre>"},
    });
}

TEST(MarkdownRenderer, InlineRules) {
    expectBodies({
        {"a * b * c", "<p>a <em> b </em> c</p>"},
        {"**bold** and *em*", "<p><strong>bold</strong> and <em>em</em></p>"},
        {"***x**", "<p>*<strong>x</strong></p>"},
        {"`a < b`", "<p><code>a &lt; b</code></p>"},
        {"``", "<p>``</p>"},
        // Later rules reach into the text of earlier ones.
        {"`x*y*`", "<p><code>x<em>y</em></code></p>"},
        {"**[site](https://example.com)**", "<p><strong><a href=\"https://example.com\">site</a></strong></p>"},
        {"![a *b*](i.png)", "<p><img alt=\"a *b*\" src=\"i.png\"></p>"},
        {"![](img.png)", "<p><img alt=\"\" src=\"img.png\"></p>"},
        {"[![logo](logo.png)](https://example.com)",
         "<p><a href=\"https://example.com\"><img alt=\"logo\" src=\"logo.png\"></a></p>"},
        {"[](x)", "<p>[](x)</p>"},
        {"[a](b c)", "<p>[a](b c)</p>"},
        {"[a](b", "<p>[a](b</p>"},
        {"[a] (b)", "<p>[a] (b)</p>"},
    });
}

TEST(MarkdownRenderer, OnlyWebMailAndRelativeTargets) {
    expectBodies({
        {"[w](https://example.com/a?b=1&c=2)", "<p><a href=\"https://example.com/a?b=1&amp;c=2\">w</a></p>"},
        {"[w](HTTP://EXAMPLE.COM)", "<p><a href=\"HTTP://EXAMPLE.COM\">w</a></p>"},
        {"[m](mailto:a@b.example)", "<p><a href=\"mailto:a@b.example\">m</a></p>"},
        {"[r](docs/a.md)", "<p><a href=\"docs/a.md\">r</a></p>"},
        {"[r](/abs)", "<p><a href=\"/abs\">r</a></p>"},
        {"[r](#top)", "<p><a href=\"#top\">r</a></p>"},
        {"[r](./a:b)", "<p><a href=\"./a:b\">r</a></p>"},
        {"[r](//cdn.example.com/x)", "<p><a href=\"//cdn.example.com/x\">r</a></p>"},
        {"[x](javascript:alert(1))", "<p>[x](javascript:alert(1))</p>"},
        {"[x](JavaScript:alert%281%29)", "<p>[x](JavaScript:alert%281%29)</p>"},
        {"[x](vbscript:msgbox)", "<p>[x](vbscript:msgbox)</p>"},
        {"[x](file:///etc/passwd)", "<p>[x](file:///etc/passwd)</p>"},
        {"[x](a:b/c)", "<p>[x](a:b/c)</p>"},
        {"[x](:nothing)", "<p>[x](:nothing)</p>"},
        {"[x](\x01javascript:alert(1))", "<p>[x](\x01javascript:alert(1))</p>"},
        {"![x](data:image/svg+xml;base64,AAAA)", "<p>![x](data:image/svg+xml;base64,AAAA)</p>"},
        {"![x](javascript:alert(1))", "<p>![x](javascript:alert(1))</p>"},
        // An entity cannot spell a colon: the ampersand is escaped, the target stays relative.
        {"[x](javascript&#58;alert(1))", "<p><a href=\"javascript&amp;#58;alert(1\">x</a>)</p>"},
    });
}

// Openers that share one "](" each get their own verdict on the label, but the
// target after the "](" is the same for all of them.
TEST(MarkdownRenderer, RunsOfOpenersBeforeOneTarget) {
    expectBodies({
        {"[[[x](javascript:y)", "<p>[[[x](javascript:y)</p>"},
        {"![![![x](javascript:y)", "<p>![![![x](javascript:y)</p>"},
        {"[[a](https://e.example)", "<p><a href=\"https://e.example\">[a</a></p>"},
        {"![![a](b.png)", "<p><img alt=\"![a\" src=\"b.png\"></p>"},
        {"[a](javascript:x) [b](http://ok.example)",
         "<p>[a](javascript:x) <a href=\"http://ok.example\">b</a></p>"},
        {"[a]([b](javascript:x)", "<p>[a]([b](javascript:x)</p>"},
        {"[a]([b](c)", "<p><a href=\"[b](c\">a</a></p>"},
        {"[a](mailtox:y) [b](HTTPS://e.example) [c](Mailto:m@e.example)",
         "<p>[a](mailtox:y) <a href=\"HTTPS://e.example\">b</a> <a href=\"Mailto:m@e.example\">c</a></p>"},
        {"[](x) [y](x)", "<p>[](x) <a href=\"x\">y</a></p>"},
        {"![a](javascript:x)[b](c)", "<p>![a](javascript:x)<a href=\"c\">b</a></p>"},
    });
}

TEST(MarkdownRenderer, HostileTextStaysText) {
    expectBodies({
        {"<script>alert(1)</script>", "<p>&lt;script&gt;alert(1)&lt;/script&gt;</p>"},
        {"# <img src=x onerror=alert(1)>", "<h1>&lt;img src=x onerror=alert(1)&gt;</h1>"},
        {"- <b>&amp;</b>", "<ul><li>&lt;b&gt;&amp;amp;&lt;/b&gt;</li></ul>"},
        {"> </blockquote><script>", "<blockquote>&lt;/blockquote&gt;&lt;script&gt;</blockquote>"},
        {"```\n</code></pre><script>\n```", "<pre><code>&lt;/code&gt;&lt;/pre&gt;&lt;script&gt;</code></pre>"},
        // Quotes never close an attribute value.
        {"[x](https://e.example/\"onmouseover=\"alert(1))",
         "<p><a href=\"https://e.example/&quot;onmouseover=&quot;alert(1\">x</a>)</p>"},
        {"![a\" onerror=\"alert(1)](x.png)", "<p><img alt=\"a&quot; onerror=&quot;alert(1)\" src=\"x.png\"></p>"},
        {"say \"hi\"", "<p>say &quot;hi&quot;</p>"},
        // A link rule reaching into an image's src would close it and open an event attribute.
        {"![a](b[c](/onerror=location=name//)z)", "<p><img alt=\"a\" src=\"b[c](/onerror=location=name//\">z)</p>"},
        // Emphasis never reaches into a link target, nor a generated tag into one.
        {"[a*b](c*d)", "<p><a href=\"c*d\">a*b</a></p>"},
        {"[x](![a](b))", "<p>[x](<img alt=\"a\" src=\"b\">)</p>"},
        // NUL cannot pose as the renderer's own marker.
        {std::string("x\0" "0\0 ![a](b)", 12), "<p>x\xEF\xBF\xBD" "0\xEF\xBF\xBD <img alt=\"a\" src=\"b\"></p>"},
    });
}

TEST(MarkdownRenderer, PageAroundTheBody) {
    const std::string page = MarkdownRenderer::html("# Hi\n\n- a");
    const std::string head =
        "<!doctype html><html><head><meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<style>";
    EXPECT_TRUE(page.starts_with(head));
    EXPECT_TRUE(page.ends_with("</style></head><body><h1>Hi</h1><ul><li>a</li></ul></body></html>"));
    for (const char* rule : {":root{color-scheme:light dark;}", "background:transparent",
                             "@media (prefers-color-scheme:dark){body{color:#e6e6e9;}a{color:#5aa9ff;}"}) {
        EXPECT_NE(page.find(rule), std::string::npos) << rule;
    }
    EXPECT_EQ(MarkdownRenderer::html("").find("<body></body></html>"), page.find("<body>"));
}
