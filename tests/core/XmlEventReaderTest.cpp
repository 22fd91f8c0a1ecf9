#include "core/storage/XmlEventReader.h"
#include "core/storage/XmlParseError.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tarn;

namespace {

class Recorder final : public XmlEventReader {
public:
    std::string events;
    std::string throwAt;

protected:
    void startElement(std::string_view name) override {
        if (name == throwAt) throw std::runtime_error("stop at " + throwAt);
        events += "<" + std::string(name) + ">";
    }
    void characters(std::string_view text) override { events += text; }
    void endElement(std::string_view name) override { events += "</" + std::string(name) + ">"; }
};

}  // namespace

TEST(XmlEventReader, HandsOnElementsAndDecodedText) {
    Recorder reader;
    reader.read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a x=\"1\"><ns:b>&lt;&#x4E2D;\xE9</ns:b>"
                "<c><![CDATA[skipped]]>kept</c></a>");
    EXPECT_EQ(reader.events, "<a><ns:b><中é</ns:b><c>kept</c></a>");
}

TEST(XmlEventReader, HandlerExceptionsPassThrough) {
    Recorder reader;
    reader.throwAt = "b";
    EXPECT_THROW(reader.read("<a><b/><c>never seen</c></a>"), std::runtime_error);
    EXPECT_EQ(reader.events, "<a>");
    // The reader is usable again afterwards.
    reader.throwAt.clear();
    reader.events.clear();
    reader.read("<a/>");
    EXPECT_EQ(reader.events, "<a></a>");
}

TEST(XmlEventReader, EntityExpansionBombsAreRefused) {
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE b [<!ENTITY e0 \"xxxxxxxxxxxxxxxx\">";
    for (int i = 1; i < 12; ++i) {
        const std::string previous = "&e" + std::to_string(i - 1) + ";";
        std::string value;
        for (int copy = 0; copy < 16; ++copy) value += previous;
        bomb += "<!ENTITY e" + std::to_string(i) + " \"" + value + "\">";
    }
    bomb += "]><b>&e11;</b>";
    Recorder reader;
    EXPECT_THROW(reader.read(bomb), XmlParseError);
}
