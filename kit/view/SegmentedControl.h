#pragma once

#include "kit/view/Control.h"

#include <string>
#include <vector>

namespace kit {

// A row of segments, each with a label. A click on a segment selects it and sends the action; in momentary
// tracking the selection lasts only while the action runs (selectedSegment is -1 before and after).
class SegmentedControl : public Control {
public:
    enum class TrackingMode { SelectOne, Momentary };
    struct Segment {
        std::string label;
        float width = 0; // points; 0 shares the space left equally
        bool enabled = true;
    };

    using Control::Control;

    const std::vector<Segment>& segments() const { return m_segments; }
    int segmentCount() const { return int(m_segments.size()); }
    void addSegment(Segment segment);
    void setLabel(int segment, std::string label);
    // -1 when none is selected.
    int selectedSegment() const { return m_selected; }
    // An index outside the segments selects none.
    void setSelectedSegment(int segment);
    TrackingMode trackingMode() const { return m_trackingMode; }
    void setTrackingMode(TrackingMode mode) { m_trackingMode = mode; }
    // The segment's rectangle in this view's coordinates.
    Rect rectForSegment(int segment) const;
    // The segment under point (this view's coordinates), or -1.
    int segmentAtPoint(Point point) const;
    // What a click on segment does: selects it and sends the action.
    void selectSegmentAndSendAction(int segment);

    bool isFlipped() const override { return true; }
    void drawRect(cairo_t* context, Rect dirty) override;
    void mouseDown(const Event&) override;

    // trackingMode ("selectOne", "momentary"), selectedSegment.
    bool setNibAttribute(std::string_view name, std::string_view value) override;
    // <segment label="..." width="..." enabled="..."/>
    bool addNibElement(std::string_view element, const NibAttributes& attributes) override;

private:
    std::vector<Segment> m_segments;
    int m_selected = -1;
    TrackingMode m_trackingMode = TrackingMode::SelectOne;
};

} // namespace kit
