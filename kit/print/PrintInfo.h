#pragma once

#include "kit/foundation/Value.h"
#include "kit/geometry/Geometry.h"

#include <memory>
#include <string>

namespace kit {

// Print settings: the paper, its orientation, the four margins and how a view is fitted onto pages.
// Lengths are points. The paper size is as printed: landscape swaps the two sides.
class PrintInfo {
public:
    enum class Pagination { Auto, Fit, Clip };
    enum class Orientation { Portrait, Landscape };

    // US Letter, portrait, margins 72 left and right and 90 top and bottom, automatic pagination.
    PrintInfo();
    // From a dictionary as dictionary() writes it; missing or malformed entries keep the defaults.
    explicit PrintInfo(const Value& dictionary);

    // The host's shared settings. Their paper comes from $LECTORIN_PAPER (letter, a4, or WxH in points), else
    // the LC_PAPER locale when it is set to something other than C or POSIX, else /etc/papersize, else US Letter.
    static const std::shared_ptr<PrintInfo>& shared();
    // The paper a name gives: "letter", "a4", "legal", "a5", or "WxH" in points; nothing for other text.
    static std::optional<Size> paperSizeForName(std::string_view name);
    // The paper the environment asks for, as shared() takes it.
    static Size defaultPaperSize();

    Value dictionary() const;

    Size paperSize() const { return m_paperSize; }
    void setPaperSize(Size size);
    const std::string& paperName() const { return m_paperName; }
    void setPaperName(std::string name) { m_paperName = std::move(name); }
    Orientation orientation() const { return m_orientation; }
    // Swaps the paper's sides when the orientation changes.
    void setOrientation(Orientation orientation);

    float leftMargin() const { return m_leftMargin; }
    float rightMargin() const { return m_rightMargin; }
    float topMargin() const { return m_topMargin; }
    float bottomMargin() const { return m_bottomMargin; }
    void setLeftMargin(float points) { m_leftMargin = points; }
    void setRightMargin(float points) { m_rightMargin = points; }
    void setTopMargin(float points) { m_topMargin = points; }
    void setBottomMargin(float points) { m_bottomMargin = points; }

    Pagination horizontalPagination() const { return m_horizontalPagination; }
    Pagination verticalPagination() const { return m_verticalPagination; }
    void setHorizontalPagination(Pagination pagination) { m_horizontalPagination = pagination; }
    void setVerticalPagination(Pagination pagination) { m_verticalPagination = pagination; }
    bool isHorizontallyCentered() const { return m_horizontallyCentered; }
    bool isVerticallyCentered() const { return m_verticallyCentered; }
    void setHorizontallyCentered(bool centered) { m_horizontallyCentered = centered; }
    void setVerticallyCentered(bool centered) { m_verticallyCentered = centered; }
    // Printing scale, 1 = 100 %.
    float scalingFactor() const { return m_scalingFactor; }
    void setScalingFactor(float factor) { m_scalingFactor = factor; }

    // The paper less the margins, with the origin at the paper's top left (y down).
    Rect imageableRect() const;

private:
    Size m_paperSize { 612, 792 };
    std::string m_paperName = "na-letter";
    Orientation m_orientation = Orientation::Portrait;
    float m_leftMargin = 72;
    float m_rightMargin = 72;
    float m_topMargin = 90;
    float m_bottomMargin = 90;
    Pagination m_horizontalPagination = Pagination::Auto;
    Pagination m_verticalPagination = Pagination::Auto;
    bool m_horizontallyCentered = true;
    bool m_verticallyCentered = true;
    float m_scalingFactor = 1;
};

} // namespace kit
