#include "import/revenge/LegacyDocument.h"

#include "import/revenge/TextCollector.h"

#include <climits>
#include <libabw/libabw.h>
#include <libetonyek/libetonyek.h>
#include <libmwaw/libmwaw.hxx>
#include <librevenge-stream/librevenge-stream.h>
#include <libstaroffice/libstaroffice.hxx>
#include <libwpd/libwpd.h>
#include <libwps/libwps.h>
#include <memory>

namespace importer::revenge {

namespace {

// librevenge's stream over bytes in memory; it understands OLE2 and ZIP sub-streams itself.
std::unique_ptr<librevenge::RVNGStringStream> streamOver(std::span<const std::uint8_t> bytes)
{
    return std::make_unique<librevenge::RVNGStringStream>(bytes.data(), unsigned(bytes.size()));
}

std::string worksFormat(libwps::WPSCreator creator)
{
    switch (creator) {
    // Write's format is Word for DOS's, and libwps names Write files either way.
    case libwps::WPS_MSWRITE:
    case libwps::WPS_DOSWORD:
        return "write";
    default:
        return "works";
    }
}

// Each library's own question, on a fresh stream; the first that says yes for text wins.
Detection detectWith(std::span<const std::uint8_t> bytes)
{
    // libwpd also takes files without a signature for WordPerfect 4.2 by their control codes, and so takes
    // pictures and programs too: only files that say they are WordPerfect's go to it.
    if (bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 'W' && bytes[2] == 'P' && bytes[3] == 'C') {
        auto stream = streamOver(bytes);
        libwpd::WPDConfidence confidence = libwpd::WPDocument::isFileFormatSupported(stream.get());
        if (confidence == libwpd::WPD_CONFIDENCE_EXCELLENT)
            return { "wordperfect" };
        if (confidence != libwpd::WPD_CONFIDENCE_NONE)
            return { "wordperfect", true };
    }
    {
        auto stream = streamOver(bytes);
        libwps::WPSKind kind = libwps::WPS_TEXT;
        libwps::WPSCreator creator = libwps::WPS_MSWORKS;
        bool needsEncoding = false;
        libwps::WPSConfidence confidence
            = libwps::WPSDocument::isFileFormatSupported(stream.get(), kind, creator, needsEncoding);
        if (confidence != libwps::WPS_CONFIDENCE_NONE && kind == libwps::WPS_TEXT)
            return { worksFormat(creator), confidence == libwps::WPS_CONFIDENCE_SUPPORTED_ENCRYPTION };
    }
    {
        auto stream = streamOver(bytes);
        STOFFDocument::Kind kind = STOFFDocument::STOFF_K_UNKNOWN;
        STOFFDocument::Confidence confidence = STOFFDocument::isFileFormatSupported(stream.get(), kind);
        if (confidence != STOFFDocument::STOFF_C_NONE && kind == STOFFDocument::STOFF_K_TEXT)
            return { "staroffice", confidence != STOFFDocument::STOFF_C_EXCELLENT };
    }
    {
        auto stream = streamOver(bytes);
        libetonyek::EtonyekDocument::Type type = libetonyek::EtonyekDocument::TYPE_UNKNOWN;
        libetonyek::EtonyekDocument::Confidence confidence
            = libetonyek::EtonyekDocument::isSupported(stream.get(), &type);
        if (confidence == libetonyek::EtonyekDocument::CONFIDENCE_EXCELLENT
            && type == libetonyek::EtonyekDocument::TYPE_PAGES)
            return { "pages" };
    }
    {
        auto stream = streamOver(bytes);
        if (libabw::AbiDocument::isFileFormatSupported(stream.get()))
            return { "abiword" };
    }
    {
        auto stream = streamOver(bytes);
        MWAWDocument::Type type = MWAWDocument::MWAW_T_UNKNOWN;
        MWAWDocument::Kind kind = MWAWDocument::MWAW_K_UNKNOWN;
        MWAWDocument::Confidence confidence = MWAWDocument::isFileFormatSupported(stream.get(), type, kind);
        if (confidence != MWAWDocument::MWAW_C_NONE && kind == MWAWDocument::MWAW_K_TEXT)
            return { "mac", confidence != MWAWDocument::MWAW_C_EXCELLENT };
    }
    return {};
}

// True when the library read the document through.
bool parseWith(const std::string& format, librevenge::RVNGInputStream* stream, TextCollector& collector)
{
    if (format == "wordperfect")
        return libwpd::WPDocument::parse(stream, &collector, nullptr) == libwpd::WPD_OK;
    if (format == "works" || format == "write" || format == "wordfordos")
        return libwps::WPSDocument::parse(stream, &collector, "", "") == libwps::WPS_OK;
    if (format == "staroffice")
        return STOFFDocument::parse(stream, &collector, nullptr) == STOFFDocument::STOFF_R_OK;
    if (format == "pages")
        return libetonyek::EtonyekDocument::parse(stream, &collector);
    if (format == "abiword")
        return libabw::AbiDocument::parse(stream, &collector);
    if (format == "mac")
        return MWAWDocument::parse(stream, &collector, nullptr) == MWAWDocument::MWAW_R_OK;
    return false;
}

bool hasText(const kit::TextStorage& text)
{
    for (char c : text.string()) {
        if (c != '\n' && c != '\f' && c != ' ' && c != '\t')
            return true;
    }
    return false;
}

} // namespace

Detection detectDocument(std::span<const std::uint8_t> bytes)
{
    // The stream's interface counts in unsigned int and seeks in long.
    if (bytes.empty() || bytes.size() > std::size_t(INT_MAX))
        return {};
    try {
        return detectWith(bytes);
    } catch (...) {
        return {};
    }
}

ImportResult parseDocument(std::span<const std::uint8_t> bytes, const Detection& detection)
{
    if (detection.format.empty())
        return { nullptr, "none", ImportError::NotKnownFormat };
    if (detection.encrypted)
        return { nullptr, detection.format, ImportError::Encrypted };
    TextCollector collector;
    bool completed = false;
    try {
        auto stream = streamOver(bytes);
        completed = parseWith(detection.format, stream.get(), collector);
    } catch (...) {
        completed = false;
    }
    // A library that stopped part way did not end the document; ending it twice changes nothing.
    collector.endDocument();
    // A library that gave up part way (an exception, an error result) may have given the document's
    // beginning already; a document with no text at all is only empty when the parse said so.
    std::shared_ptr<kit::TextStorage> text = collector.text();
    // A document cut short at its limit is not shown in part: other readers end in the same error.
    if (collector.truncated())
        return { nullptr, detection.format, ImportError::TooLarge };
    if (!completed && !hasText(*text))
        return { nullptr, detection.format, ImportError::Damaged };
    return { text, detection.format, {} };
}

} // namespace importer::revenge
