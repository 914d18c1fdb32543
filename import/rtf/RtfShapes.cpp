// Shapes (\shp): where the picture a shape holds floats. The shape's words give its rectangle from the
// origin its frames name, its wrap and whether it lies below the text; its properties (posh, posrelh, the
// wrap distances...) align it and override the frames, as Word writes them.
#include "import/rtf/RtfReader.h"

#include <algorithm>
#include <charconv>

namespace importer::rtf {

namespace {

constexpr std::string_view kPlacingProperties[] = { "posh", "posv", "posrelh", "posrelv", "dxWrapDistLeft",
    "dxWrapDistRight", "dyWrapDistTop", "dyWrapDistBottom", "fBehindDocument" };

float twipsToPoints(long twips) { return std::clamp(float(twips) / 20.0f, -31680.0f, 31680.0f); }

kit::FloatPlacement::Align alignment(long value)
{
    using Align = kit::FloatPlacement::Align;
    switch (value) {
    case 1: // left or top
    case 4: // inside
        return Align::Start;
    case 2:
        return Align::Center;
    case 3: // right or bottom
    case 5: // outside
        return Align::End;
    default:
        return Align::Offset;
    }
}

} // namespace

bool isPlacingShapeProperty(std::string_view name)
{
    return std::find(std::begin(kPlacingProperties), std::end(kPlacingProperties), name) != std::end(kPlacingProperties);
}

bool RtfReader::shapeWord(const ControlWord& word)
{
    switch (word.keyword) {
    case Keyword::Shape:
        m_shape = {};
        m_shape.depth = m_states.size();
        return true;
    case Keyword::ShapeBound:
        if (m_shape.depth && word.detail >= 0 && word.detail < 4)
            m_shape.bounds[std::size_t(word.detail)] = word.parameter;
        return true;
    case Keyword::ShapeHorizontalFrame:
        m_shape.horizontalFrame = kit::FloatPlacement::Frame(word.detail);
        return true;
    case Keyword::ShapeVerticalFrame:
        m_shape.verticalFrame = kit::FloatPlacement::Frame(word.detail);
        return true;
    case Keyword::ShapeWrap:
        m_shape.wrap = word.parameter;
        return true;
    case Keyword::ShapeBelowText:
        m_shape.belowText = word.hasParameter ? word.parameter != 0 : true;
        return true;
    default:
        return false;
    }
}

void RtfReader::finishShapeProperty()
{
    std::string_view text = m_shapeValue;
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && m_shape.numbers.size() < 32)
        m_shape.numbers[m_shapePropertyName] = value;
    m_shapeValue.clear();
}

std::optional<kit::FloatPlacement> RtfReader::shapePlacement() const
{
    // Only a shape with a rectangle floats.
    const auto& b = m_shape.bounds;
    if (!m_shape.depth || (b[2] <= b[0] && b[3] <= b[1]))
        return std::nullopt;
    using Frame = kit::FloatPlacement::Frame;
    using Wrap = kit::FloatPlacement::Wrap;
    auto number = [&](std::string_view name) -> std::optional<long> {
        auto it = m_shape.numbers.find(name);
        return it == m_shape.numbers.end() ? std::nullopt : std::optional<long>(it->second);
    };
    kit::FloatPlacement placement;
    placement.horizontalFrame = m_shape.horizontalFrame.value_or(Frame::Margin);
    placement.verticalFrame = m_shape.verticalFrame.value_or(Frame::Paragraph);
    // posrelh: 0 margin, 1 page, 2 column, 3 character; posrelv: 0 margin, 1 page, 2 paragraph, 3 line.
    if (auto relative = number("posrelh"))
        placement.horizontalFrame = *relative == 1 ? Frame::Page : *relative == 0 ? Frame::Margin : Frame::Column;
    if (auto relative = number("posrelv"))
        placement.verticalFrame = *relative == 1 ? Frame::Page : *relative == 0 ? Frame::Margin : Frame::Paragraph;
    placement.horizontalAlign = alignment(number("posh").value_or(0));
    placement.verticalAlign = alignment(number("posv").value_or(0));
    placement.offset = { twipsToPoints(b[0]), twipsToPoints(b[1]) };
    // \shpwr: 1 above and below, 2 around, 3 none, 4 tight, 5 through.
    placement.wrap = m_shape.wrap == 1 ? Wrap::TopAndBottom : m_shape.wrap == 3 ? Wrap::None : Wrap::Square;
    placement.behindText = m_shape.belowText || number("fBehindDocument").value_or(0) != 0;
    const char* distances[] = { "dyWrapDistTop", "dxWrapDistLeft", "dyWrapDistBottom", "dxWrapDistRight" };
    for (std::size_t i = 0; i < 4; ++i) {
        if (auto emu = number(distances[i]))
            placement.distance[i] = std::clamp(float(*emu) / 12700.0f, 0.0f, 144.0f);
    }
    return placement;
}

} // namespace importer::rtf
