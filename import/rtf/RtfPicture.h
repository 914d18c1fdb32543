#pragma once

#include "kit/text/Attributes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace importer::rtf {

// A \pict group as it is read: its format, its sizes (\picw/\pich in pixels or, for metafiles, hundredths
// of a millimetre; \picwgoal/\pichgoal in twips; \picscalex/\picscaley in percent) and its data.
class RtfPicture {
public:
    enum class Format { Unknown, Png, Jpeg, Emf, WindowsMetafile, MacPict, Bitmap };

    void setFormat(Format format) { m_format = format; }
    void setWidth(int value) { m_width = value; }
    void setHeight(int value) { m_height = value; }
    void setGoalWidth(int twips) { m_goalWidth = twips; }
    void setGoalHeight(int twips) { m_goalHeight = twips; }
    void setScaleX(int percent) { m_scaleX = percent; }
    void setScaleY(int percent) { m_scaleY = percent; }
    // Hex digits of the data; other characters (spaces, line ends) are skipped.
    void appendHex(std::span<const std::uint8_t> text);
    void appendBinary(std::span<const std::uint8_t> data);
    // The picture's description (\picprop's wzDescription), UTF-8.
    void appendAlternativeText(std::string_view text)
    {
        if (m_alternativeText.size() < 4096)
            m_alternativeText.append(text);
    }

    // The attachment for U+FFFC: PNG and JPEG keep their bytes; other formats become a placeholder of the
    // picture's size, since nothing here can draw them.
    std::shared_ptr<const kit::Attachment> attachment() const;

private:
    std::optional<kit::Size> displaySize() const;

    Format m_format = Format::Unknown;
    int m_width = 0;
    int m_height = 0;
    int m_goalWidth = 0;
    int m_goalHeight = 0;
    int m_scaleX = 100;
    int m_scaleY = 100;
    std::vector<std::uint8_t> m_bytes;
    int m_pendingNibble = -1;
    std::string m_alternativeText;
};

} // namespace importer::rtf
