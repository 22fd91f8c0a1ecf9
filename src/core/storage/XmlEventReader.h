#pragma once

#include <string_view>

namespace tarn {

// Event-driven reading of one XML document with expat: subclasses see element
// starts, character data and element ends, by name exactly as the document writes
// it (no namespace processing, attributes ignored). Character data inside CDATA
// sections is not handed on. Not thread-safe; one document at a time.
class XmlEventReader {
public:
    virtual ~XmlEventReader() = default;

    // Reads the whole document. Throws XmlParseError when it is not well-formed; an
    // exception thrown by a handler stops the reading and is passed on unchanged.
    void read(std::string_view document);

protected:
    virtual void startElement(std::string_view name) = 0;
    // Text may arrive in several pieces for one element.
    virtual void characters(std::string_view text) = 0;
    virtual void endElement(std::string_view name) = 0;

private:
    struct Callbacks;
    bool m_insideCdata = false;
};

}  // namespace tarn
