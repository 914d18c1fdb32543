#include "pageview/NRVLectorinSBCenteringClipView.h"

#include <gtest/gtest.h>

using kit::Point;
using kit::Rect;
using kit::Size;

namespace {

// A flipped document view standing in for the page stack (only its frame matters to the clip view).
class FlippedDocument : public kit::View {
public:
    using kit::View::View;
    bool isFlipped() const override { return true; }
};

struct Fixture {
    NRVLectorinSBCenteringClipView* clip;
    kit::View* document;
    std::unique_ptr<kit::View> root;
};

Fixture makeClip(Size document, Size clip, Point origin = {})
{
    auto root = std::make_unique<kit::View>(Rect { 0, 0, clip.width, clip.height });
    auto& clipView = root->add<NRVLectorinSBCenteringClipView>(Rect { { 0, 0 }, clip });
    clipView.setDocumentView(std::make_unique<FlippedDocument>(Rect { { 0, 0 }, document }));
    clipView.setBoundsOrigin(origin);
    return { &clipView, clipView.documentView(), std::move(root) };
}

} // namespace

TEST(CenteringClipView, ConstrainsScrollOrigin)
{
    const struct {
        Size document, clip;
        Point proposed, expected;
        const char* why;
    } cases[] = {
        { { 644, 2440 }, { 801, 600 }, { 10, 2000 }, { -79, 1840 }, "narrow: centred; tall: clamped to the end" },
        { { 644, 2440 }, { 801, 600 }, { 10, -30.4f }, { -79, 0 }, "above the top: clamped to 0" },
        { { 644, 2440 }, { 801, 600 }, { 5, 100.5f }, { -79, 101 }, "halves round away from zero" },
        { { 644, 2440 }, { 801, 600 }, { 5, 100.49f }, { -79, 100 }, "just under a half rounds down" },
        { { 801, 2440 }, { 801, 600 }, { 5, 0 }, { 0, 0 }, "exactly as wide: clamped, not centred" },
        { { 802, 2440 }, { 801, 600 }, { 5, 0 }, { 1, 0 }, "one point wider: scrolls up to the excess" },
        { { 322, 412 }, { 801, 600 }, { 0, 0 }, { -240, -94 }, "half-size page: centred both ways" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto f = makeClip(c.document, c.clip);
        EXPECT_EQ(f.clip->constrainScrollPoint(c.proposed), c.expected);
    }
}

TEST(CenteringClipView, CentresOnEveryChange)
{
    auto f = makeClip({ 644, 2440 }, { 801, 600 });
    f.clip->setBoundsOrigin({ 0, 350.25f });
    f.clip->centerDocument();
    EXPECT_EQ(f.clip->bounds().origin, (Point { -79, 350 })) << "centred horizontally, the vertical origin rounded";

    f.clip->setFrameSize({ 901, 600 });
    EXPECT_EQ(f.clip->bounds().origin.x, -129) << "a resized clip view re-centres";

    f.document->setFrameSize({ 1288, 4880 });
    EXPECT_EQ(f.clip->bounds().origin.x, 0) << "a document that grew past the view is no longer centred";

    f.document->setFrameSize({ 322, 412 });
    EXPECT_EQ(f.clip->bounds().origin, (Point { -290, -94 })) << "a shrunk document is centred both ways";
}

TEST(CenteringClipView, WithoutDocumentTheOriginStays)
{
    kit::View root(Rect { 0, 0, 800, 600 });
    auto& clip = root.add<NRVLectorinSBCenteringClipView>(Rect { 0, 0, 800, 600 });
    clip.setBoundsOrigin({ 3.5f, 7.25f });
    clip.setFrameSize({ 700, 500 });
    clip.centerDocument();
    EXPECT_EQ(clip.constrainScrollPoint({ 100, 100 }), (Point { 3.5f, 7.25f }));
    EXPECT_EQ(clip.bounds().origin, (Point { 3.5f, 7.25f }));
}
