#pragma once

#include "import/doc/Properties.h"
#include "import/doc/Sprm.h"
#include "kit/text/PageSetup.h"

#include <array>
#include <cstdint>

namespace importer::doc {

// A section's header and footer stories in the header document: even header, odd header, even footer, odd
// footer, first-page header, first-page footer.
inline constexpr std::size_t kHeaderSlotCount = 6;

// Section properties (SEP), in Word's units (twips) until they become a page section. The defaults are the
// ones a section without a property list has: US Letter, 1.25-inch sides, 1-inch top and bottom.
struct SectionProperties {
    std::uint16_t pageWidth = 12240;
    std::uint16_t pageHeight = 15840;
    std::int32_t leftMargin = 1800, rightMargin = 1800;
    std::int32_t topMargin = 1440, bottomMargin = 1440; // negative: exactly this far, whatever the header
    std::uint16_t headerDistance = 720, footerDistance = 720;
    std::int32_t gutter = 0;
    bool isLandscape = false;
    bool titlePage = false;
    bool restartsPageNumbers = false;
    bool columnSeparator = false;
    std::int32_t pageNumberStart = 1;
    std::uint8_t pageNumberFormat = 0; // 0 decimal, 1 upper roman, 2 lower roman, 3 upper letter, 4 lower letter
    std::uint8_t breakKind = 2; // 0 continuous, 1 new column, 2 new page, 3 even page, 4 odd page
    std::uint16_t columnsLessOne = 0; // the section's columns, less one
    std::int32_t columnSpacing = 720; // between two columns
    bool evenlySpaced = true; // else each column has its own width and the room after it
    std::array<std::int16_t, 16> columnWidths {};
    std::array<std::int16_t, 16> columnSpaces {};
    std::uint8_t verticalAlignment = 0; // 0 top, 1 centre, 2 justified, 3 bottom
    std::array<BorderLine, 4> pageBorders; // top, left, bottom, right
    std::uint16_t pageBorderOptions = 0;
    std::uint8_t headerStories = 0; // Word 6: one bit per slot the header document lists for this section

    void apply(const Sprm& sprm);
    bool startsNewPage() const { return breakKind != 0; }
    // The page section these properties describe; its start and stories are left for the caller.
    kit::PageSection pageSection() const;
};

} // namespace importer::doc
