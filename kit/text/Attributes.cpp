#include "kit/text/Attributes.h"

namespace kit {

const ParagraphStyle& Attributes::paragraphStyle() const
{
    static const ParagraphStyle defaultStyle;
    return paragraph ? *paragraph : defaultStyle;
}

namespace {

// Shared parts compare by value: two importers' identical styles are the same attributes.
template<typename T> bool sameShared(const std::shared_ptr<const T>& a, const std::shared_ptr<const T>& b)
{
    if (a == b)
        return true;
    if (!a || !b)
        return false;
    return *a == *b;
}

} // namespace

bool Attributes::operator==(const Attributes& o) const
{
    return fontSize == o.fontSize && bold == o.bold && italic == o.italic && underline == o.underline
        && strikethrough == o.strikethrough && allCaps == o.allCaps && smallCaps == o.smallCaps
        && superscript == o.superscript && baselineShift == o.baselineShift && listLabel == o.listLabel
        && pageField == o.pageField
        && foreground == o.foreground && background == o.background && fontFamily == o.fontFamily
        && fontFamilyEastAsian == o.fontFamilyEastAsian && fontFamilyComplex == o.fontFamilyComplex
        && link == o.link && anchor == o.anchor && sameShared(paragraph, o.paragraph) && sameShared(tableCell, o.tableCell)
        && sameShared(attachment, o.attachment);
}

} // namespace kit
