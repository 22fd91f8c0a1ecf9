#include "core/storage/XmlEventReader.h"

#include "core/storage/S3Error.h"
#include "core/storage/XmlParseError.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>

namespace tarn {

namespace {

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

// Handler exceptions must not unwind through expat's C frames: they are kept here,
// the parser is stopped, and the exception is rethrown once expat has returned.
struct ReadState {
    XmlEventReader* reader;
    XML_Parser parser;
    std::exception_ptr failure;
};

}  // namespace

struct XmlEventReader::Callbacks {
    template <typename Handler>
    static void guarded(void* userData, Handler&& handler) {
        auto* state = static_cast<ReadState*>(userData);
        if (state->failure) return;
        try {
            handler(*state->reader);
        } catch (...) {
            state->failure = std::current_exception();
            XML_StopParser(state->parser, XML_FALSE);
        }
    }

    static void start(void* userData, const XML_Char* name, const XML_Char**) {
        guarded(userData, [name](XmlEventReader& reader) { reader.startElement(name); });
    }

    static void end(void* userData, const XML_Char* name) {
        guarded(userData, [name](XmlEventReader& reader) { reader.endElement(name); });
    }

    static void characters(void* userData, const XML_Char* text, int length) {
        guarded(userData, [text, length](XmlEventReader& reader) {
            if (!reader.m_insideCdata) reader.characters(std::string_view(text, static_cast<std::size_t>(length)));
        });
    }

    static void cdataStart(void* userData) {
        static_cast<ReadState*>(userData)->reader->m_insideCdata = true;
    }

    static void cdataEnd(void* userData) {
        static_cast<ReadState*>(userData)->reader->m_insideCdata = false;
    }
};

void XmlEventReader::read(std::string_view document) {
    const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) throw std::bad_alloc();
    ReadState state{this, parser.get(), nullptr};
    m_insideCdata = false;
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), &Callbacks::start, &Callbacks::end);
    XML_SetCharacterDataHandler(parser.get(), &Callbacks::characters);
    XML_SetCdataSectionHandler(parser.get(), &Callbacks::cdataStart, &Callbacks::cdataEnd);

    // expat takes lengths as int; larger documents go in pieces.
    constexpr std::size_t kMaxPiece = INT_MAX / 2;
    XML_Status status = XML_STATUS_OK;
    do {
        const std::size_t piece = std::min(document.size(), kMaxPiece);
        const bool last = piece == document.size();
        status = XML_Parse(parser.get(), document.data(), static_cast<int>(piece), last ? XML_TRUE : XML_FALSE);
        document.remove_prefix(piece);
        if (last) break;
    } while (status == XML_STATUS_OK);

    if (state.failure) std::rethrow_exception(state.failure);
    if (status == XML_STATUS_OK) return;
    const XML_Error code = XML_GetErrorCode(parser.get());
    const XML_LChar* reason = XML_ErrorString(code);
    if (code == XML_ERROR_NONE || !reason) throw S3Error::unexpectedResponse();
    throw XmlParseError(reason, XML_GetCurrentLineNumber(parser.get()), XML_GetCurrentColumnNumber(parser.get()));
}

}  // namespace tarn
