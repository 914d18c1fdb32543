#include "ViewTestSupport.h"
#include "support/Cases.h"
#include "support/TestSupport.h"
#include "kit/foundation/Bundle.h"
#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/view/ActionTable.h"
#include "kit/view/Button.h"
#include "kit/view/ColorWell.h"
#include "kit/view/ImageView.h"
#include "kit/view/Label.h"
#include "kit/view/Menu.h"
#include "kit/view/NibLoader.h"
#include "kit/view/Outlet.h"
#include "kit/view/ProgressIndicator.h"
#include "kit/view/ScrollView.h"
#include "kit/view/SegmentedControl.h"
#include "kit/view/WindowController.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kit;

namespace {

// Every stand-in counts itself in and out and logs its awakeFromNib, so a test can tell what a load made,
// what survived and in which order objects woke.
struct Census {
    int alive = 0;
    std::vector<std::string> awoke;
};
Census census;

class Counted {
public:
    Counted() { ++census.alive; }
    ~Counted() { --census.alive; }
};

class StandInView : public View, Counted {
public:
    void awakeFromNib() override { census.awoke.push_back(name.empty() ? "view" : name); }
    bool setNibAttribute(std::string_view attribute, std::string_view value) override
    {
        if (attribute == "name") {
            name = value;
            return true;
        }
        return View::setNibAttribute(attribute, value);
    }
    std::string name;
};

// A non-view object with one outlet, for cycles.
class Peer : public Object, Counted {
public:
    bool setOutlet(std::string_view outlet, Object* object) override
    {
        if (outlet != "partner")
            return Object::setOutlet(outlet, object);
        partner = dynamic_cast<Peer*>(object);
        return !object || partner;
    }
    void awakeFromNib() override { census.awoke.push_back(partner ? "peer with partner" : "peer alone"); }
    Peer* partner = nullptr;
};

// What a page view does when it wakes: it puts a clip view of its own into its scroll view, letting the
// old one (its current superview) go.
class SwappingDocument : public viewtest::FlippedView, Counted {
public:
    void awakeFromNib() override
    {
        census.awoke.push_back("document");
        ScrollView* scrollView = enclosingScrollView();
        ASSERT_NE(scrollView, nullptr);
        auto clipView = std::make_unique<ClipView>(scrollView->contentView()->frame());
        clipView->setMenu(menu());
        clipView->setBackgroundColor(scrollView->backgroundColor());
        std::unique_ptr<ClipView> old = scrollView->setContentView(std::move(clipView));
        scrollView->setDocumentView(*this); // this view lives in the old clip view until here
        replacedClip = old.get();
    }
    ClipView* replacedClip = nullptr;
};

class CountedClipView : public ClipView, Counted {
public:
    void awakeFromNib() override { census.awoke.push_back("old clip"); }
};

class Owner : public Responder {
public:
    bool setOutlet(std::string_view name, Object* object) override
    {
        if (name == "panel")
            return connectOutlet(panel, object);
        if (name == "label")
            return connectOutlet(label, object);
        return Responder::setOutlet(name, object);
    }
    void awakeFromNib() override
    {
        census.awoke.push_back(std::string("owner, panel ") + (panel ? "connected" : "missing"));
    }
    View* panel = nullptr;
    Label* label = nullptr;
    NibTopLevelObjects topLevel;
};

void registerStandIns()
{
    NibLoader::registerClass<StandInView>("StandInView");
    NibLoader::registerClass<Peer>("Peer");
    NibLoader::registerClass<SwappingDocument>("SwappingDocument");
    NibLoader::registerClass<CountedClipView>("CountedClipView");
}

const char* const kGoodBody = R"(
  <object class="StandInView" id="panel" name="panel" frame="0 0 100 100">
    <object class="StandInView" name="child" frame="1 1 10 10"/>
    <object class="Label" id="label" frame="0 0 50 20" text="hello"/>
  </object>
)";

std::string nibWith(const std::string& objects, const std::string& outlets)
{
    return "<nib>" + objects + outlets + "</nib>";
}

} // namespace

TEST(NibLoader, FailedLoadsMakeAndConnectNothing)
{
    registerStandIns();
    const std::string goodOutlets = R"(<outlet source="owner" name="panel" destination="panel"/>)";
    const testsupport::Case<std::string, std::string> cases[] = {
        { nibWith(kGoodBody + std::string(R"(<object class="NoSuchClass"/>)"), goodOutlets), "unknown class", "an unknown class" },
        { nibWith(kGoodBody, goodOutlets + R"(<outlet source="owner" name="noSuchOutlet" destination="panel"/>)"),
            "noSuchOutlet", "an unknown outlet of the owner, after a good one was connected" },
        { nibWith(kGoodBody, R"(<outlet source="owner" name="label" destination="panel"/>)" + goodOutlets),
            "no outlet", "an outlet given an object of the wrong kind" },
        { nibWith(kGoodBody + std::string(R"(<object class="Peer" id="p"/>)"),
              goodOutlets + R"(<outlet source="p" name="enemy" destination="owner"/>)"),
            "enemy", "an unknown outlet of a nib object" },
        { "<nib><object class=\"StandInView\" id=\"panel\"></nib>", "malformed XML", "malformed XML" },
        { "", "malformed XML", "an empty file" },
        { nibWith(R"(<object class="StandInView" id="panel" colour="red"/>)", goodOutlets), "colour", "an unknown attribute" },
        { nibWith(R"(<object class="StandInView" id="panel" frame="0 0 ten 10"/>)", goodOutlets), "frame", "an unreadable value" },
        { nibWith(kGoodBody, R"(<outlet source="owner" name="panel" destination="nobody"/>)"), "nobody", "an unknown id" },
        { nibWith(kGoodBody + std::string(R"(<object class="StandInView" id="panel"/>)"), goodOutlets), "twice", "a duplicate id" },
        { nibWith(kGoodBody + std::string(R"(<object class="Peer"><object class="StandInView"/></object>)"), goodOutlets),
            "subviews", "a subview of something that is not a view" },
        { nibWith(kGoodBody + std::string(R"(<object class="StandInView" action="x:"/>)"), goodOutlets), "action",
            "an action on an object that is not a control" },
        { "<nib><view/></nib>", "unknown element", "an unknown element" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        census = {};
        Owner owner;
        auto result = NibLoader::loadNibFromString(c.input, owner, owner.topLevel);
        ASSERT_FALSE(result.ok());
        EXPECT_NE(result.error().find(c.expected), std::string::npos) << result.error();
        EXPECT_TRUE(owner.topLevel.empty());
        EXPECT_EQ(owner.panel, nullptr) << "no outlet of the owner stays connected";
        EXPECT_EQ(owner.label, nullptr);
        EXPECT_EQ(census.alive, 0) << "everything made was destroyed";
        EXPECT_TRUE(census.awoke.empty()) << "nobody was woken";
    }

    census = {};
    Owner owner;
    auto missing = NibLoader::loadNib(testsupport::temporaryFolder("no-nibs"), "PluginView", owner, owner.topLevel);
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().find("cannot read"), std::string::npos);
    EXPECT_TRUE(census.awoke.empty());

    auto good = NibLoader::loadNibFromString(nibWith(kGoodBody, goodOutlets), owner, owner.topLevel);
    ASSERT_TRUE(good.ok()) << good.error();
    EXPECT_EQ(census.alive, 2);
}

TEST(NibLoader, AwakesChildrenBeforeParentsAndTheOwnerLast)
{
    registerStandIns();
    census = {};
    Owner owner;
    const std::string nib = nibWith(R"(
        <object class="StandInView" id="panel" name="panel" frame="0 0 100 100">
          <object class="StandInView" name="first child" frame="1 1 10 10">
            <object class="StandInView" name="grandchild" frame="1 1 5 5"/>
          </object>
          <object class="StandInView" name="second child" frame="1 1 10 10"/>
        </object>
        <object class="StandInView" name="second top-level" frame="0 0 1 1"/>)",
        R"(<outlet source="owner" name="panel" destination="panel"/>)");
    auto result = NibLoader::loadNibFromString(nib, owner, owner.topLevel);
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(census.awoke, (std::vector<std::string> { "grandchild", "first child", "second child", "panel",
                                "second top-level", "owner, panel connected" }));
    ASSERT_EQ(result.value().size(), 2u);
    EXPECT_EQ(owner.topLevel.size(), 2u);
    EXPECT_EQ(result.value()[0], owner.panel);
    EXPECT_EQ(owner.panel->subviews().size(), 2u);
    EXPECT_EQ(owner.panel->subviews()[0]->frame(), (Rect { 1, 1, 10, 10 })) << "frames are in the superview's coordinates";
}

TEST(NibLoader, OutletCycleLoads)
{
    registerStandIns();
    census = {};
    {
        Owner owner;
        const std::string nib = nibWith(R"(<object class="Peer" id="a"/><object class="Peer" id="b"/>)",
            R"(<outlet source="a" name="partner" destination="b"/><outlet source="b" name="partner" destination="a"/>)");
        auto result = NibLoader::loadNibFromString(nib, owner, owner.topLevel);
        ASSERT_TRUE(result.ok()) << result.error();
        auto* a = dynamic_cast<Peer*>(result.value()[0]);
        auto* b = dynamic_cast<Peer*>(result.value()[1]);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->partner, b);
        EXPECT_EQ(b->partner, a);
        EXPECT_EQ(census.awoke, (std::vector<std::string> { "peer with partner", "peer with partner", "owner, panel missing" }));
    }
    EXPECT_EQ(census.alive, 0) << "both go with the owner's set";
}

TEST(NibLoader, ClipViewSwappedDuringItsDocumentsAwakeFromNib)
{
    registerStandIns();
    const testsupport::Case<const char*, std::vector<std::string>> cases[] = {
        { R"(<nib><object class="ScrollView" id="scroll" frame="0 0 300 200">
               <object class="CountedClipView" role="contentView" backgroundColor="0.1 0.2 0.3">
                 <object class="SwappingDocument" id="doc" role="documentView" frame="0 0 100 100"/>
               </object>
             </object></nib>)",
            { "document", "owner, panel missing" },
            "the old clip view is a nib object: destroyed before its turn, it must be skipped" },
        { R"(<nib><object class="ScrollView" id="scroll" frame="0 0 300 200" backgroundColor="0.1 0.2 0.3">
               <object class="SwappingDocument" id="doc" role="documentView" frame="0 0 100 100">
                 <menu><item title="Zoom In" action="zoomIn:" target="owner"/></menu>
               </object>
             </object></nib>)",
            { "document", "owner, panel missing" }, "the scroll view's own clip view" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        census = {};
        Owner owner;
        auto result = NibLoader::loadNibFromString(c.input, owner, owner.topLevel);
        ASSERT_TRUE(result.ok()) << result.error();
        EXPECT_EQ(census.awoke, c.expected);
        auto* scrollView = dynamic_cast<ScrollView*>(result.value()[0]);
        ASSERT_NE(scrollView, nullptr);
        auto* document = dynamic_cast<SwappingDocument*>(scrollView->documentView());
        ASSERT_NE(document, nullptr) << "the document survived the swap";
        EXPECT_NE(scrollView->contentView(), document->replacedClip);
        EXPECT_EQ(scrollView->backgroundColor(), Color::calibratedRGB(0.1f, 0.2f, 0.3f)) << "the colour carried over";
        EXPECT_EQ(scrollView->contentView()->menu(), document->menu()) << "the clip view shares the document's menu";
        EXPECT_EQ(census.alive, 1) << "only the document is left of the stand-ins";
    }
}

namespace {

class PageViewStandIn : public viewtest::FlippedView {
};

class PluginOwner : public View {
public:
    bool setOutlet(std::string_view name, Object* object) override
    {
        auto* view = dynamic_cast<View*>(object);
        if (object && !view)
            return false;
        if (name == "viewPanel")
            viewPanel = view;
        else if (name == "pageView")
            pageView = view;
        else if (name == "progressIndicator")
            progressIndicator = dynamic_cast<ProgressIndicator*>(object);
        else if (name == "errorDisplay")
            errorDisplay = view;
        else
            return View::setOutlet(name, object);
        return true;
    }
    // Records which segment the control's action came with; the plug-in's own handling of it is tested
    // with the plug-in view.
    void recordSegment(Responder* sender)
    {
        if (auto* control = dynamic_cast<SegmentedControl*>(sender))
            segmentsSent.push_back(control->selectedSegment());
    }
    View* viewPanel = nullptr;
    View* pageView = nullptr;
    ProgressIndicator* progressIndicator = nullptr;
    View* errorDisplay = nullptr;
    std::vector<int> segmentsSent;
    NibTopLevelObjects topLevel;

protected:
    bool dispatchAction(std::string_view selector, Responder* sender, bool perform) override
    {
        static const ActionTable<PluginOwner> actions {
            { "zoomInOrOutFromSegmentedControl:", &PluginOwner::recordSegment },
        };
        return actions.dispatch(*this, selector, sender, perform) || View::dispatchAction(selector, sender, perform);
    }
};

const Bundle& sourceBundle()
{
    static Bundle bundle(LECTORIN_SOURCE_DIR "/resources");
    return bundle;
}

} // namespace

TEST(ShippedNibs, PluginViewHasWhatThePluginViewNeeds)
{
    NibLoader::registerClass<PageViewStandIn>("NRVLectorinMultiPageView");
    Window window({ 640, 480 });
    PluginOwner& owner = window.contentView()->add<PluginOwner>();
    auto result = NibLoader::loadNib(sourceBundle(), "PluginView", owner, owner.topLevel);
    ASSERT_TRUE(result.ok()) << result.error();
    ASSERT_TRUE(owner.viewPanel && owner.pageView && owner.progressIndicator && owner.errorDisplay);

    EXPECT_EQ(owner.viewPanel->frame().origin, (Point { 0, 0 }));
    ScrollView* scrollView = owner.pageView->enclosingScrollView();
    ASSERT_NE(scrollView, nullptr);
    EXPECT_EQ(scrollView->documentView(), owner.pageView);
    EXPECT_TRUE(scrollView->isHidden()) << "the pages show once the document has arrived";
    EXPECT_FALSE(owner.progressIndicator->isHidden());
    EXPECT_TRUE(owner.errorDisplay->isHidden());
    EXPECT_NE(viewtest::findSubview<ImageView>(*owner.errorDisplay), nullptr) << "an icon";
    Label* sentence = viewtest::findSubview<Label>(*owner.errorDisplay);
    ASSERT_NE(sentence, nullptr);
    EXPECT_FALSE(sentence->text().empty());
    ASSERT_NE(owner.pageView->menu(), nullptr);
    for (const char* action : { "zoomIn:", "zoomOut:", "zoomToStandardSize:", "find:", "saveDocumentTo:", "print:",
             "showPreferences:", "showAboutBox:" }) {
        bool found = false;
        for (auto& item : owner.pageView->menu()->items())
            found |= item->action() == action && item->target() == &owner;
        EXPECT_TRUE(found) << "the context menu sends " << action << " to the owner";
    }
    EXPECT_EQ(owner.pageView->menu()->indexOfItemWithTitle("About " + sourceBundle().name()) >= 0, true)
        << "titles take the bundle's name";

    // The owner takes the panel's frame, adds it, and the panel then follows the owner's size.
    owner.setFrame(owner.viewPanel->frame());
    owner.addSubview(*owner.viewPanel);
    EXPECT_TRUE(owner.topLevel.empty()) << "the panel left the owner's set";
    owner.setFrame({ 0, 0, 640, 480 });
    EXPECT_EQ(owner.viewPanel->frame(), (Rect { 0, 0, 640, 480 }));
    EXPECT_EQ(scrollView->frame().size, (Size { 640, 480 }));
    Rect indicator = owner.progressIndicator->frame();
    EXPECT_FLOAT_EQ(indicator.midX(), 320);
    EXPECT_FLOAT_EQ(indicator.midY(), 240);

    // The "−/+" control sends to the owner with the segment clicked.
    SegmentedControl* zoom = viewtest::findSubview<SegmentedControl>(*owner.viewPanel);
    ASSERT_NE(zoom, nullptr);
    ASSERT_EQ(zoom->segmentCount(), 2);
    zoom->selectSegmentAndSendAction(1);
    zoom->selectSegmentAndSendAction(0);
    EXPECT_EQ(owner.segmentsSent, (std::vector<int> { 1, 0 }));
    EXPECT_EQ(zoom->selectedSegment(), -1) << "momentary: nothing stays selected";
    Rect zoomFrame = zoom->convertRect(zoom->bounds(), &owner);
    EXPECT_LE(zoomFrame.maxX(), 640 - Scroller::kWidth) << "the control keeps clear of the vertical scroller";
    EXPECT_GE(zoomFrame.maxY(), 480 - 10) << "at the top";
}

namespace {

class PreferencesStandIn : public WindowController {
public:
    PreferencesStandIn()
        : WindowController("Preferences", sourceBundle())
    {
    }
    bool setOutlet(std::string_view name, Object* object) override
    {
        if (name == "backgroundColorWell")
            return connectOutlet(well, object);
        if (name == "autoUpdateButton")
            return connectOutlet(checkBox, object);
        return WindowController::setOutlet(name, object);
    }
    void changeBackgroundColor(Responder*) { actions.push_back("changeBackgroundColor:"); }
    void changeAutoUpdate(Responder*) { actions.push_back("changeAutoUpdate:"); }
    void checkVersion(Responder*) { actions.push_back("checkVersion:"); }
    void windowDidLoad() override
    {
        ++loads;
        window()->center();
    }
    ColorWell* well = nullptr;
    Button* checkBox = nullptr;
    std::vector<std::string> actions;
    int loads = 0;

protected:
    bool dispatchAction(std::string_view selector, Responder* sender, bool perform) override
    {
        static const ActionTable<PreferencesStandIn> table {
            { "changeBackgroundColor:", &PreferencesStandIn::changeBackgroundColor },
            { "changeAutoUpdate:", &PreferencesStandIn::changeAutoUpdate },
            { "checkVersion:", &PreferencesStandIn::checkVersion },
        };
        return table.dispatch(*this, selector, sender, perform) || WindowController::dispatchAction(selector, sender, perform);
    }
};

} // namespace

TEST(ShippedNibs, PreferencesWindowLoadsOnceAndWiresItsControls)
{
    HeadlessHost host;
    host.setEchoesToStandardError(false);
    host.setDisplay(DisplayInfo { true, 1440, 900, 381, 238 });
    Host::setCurrent(&host);
    {
        PreferencesStandIn controller;
        EXPECT_FALSE(controller.isWindowLoaded()) << "nothing is loaded before the window is needed";
        controller.showWindow(nullptr);
        ASSERT_TRUE(controller.isWindowLoaded()) << controller.loadError();
        Window* window = controller.window();
        EXPECT_TRUE(host.isShown(*window));
        EXPECT_EQ(controller.loads, 1);
        EXPECT_EQ(window->title(), sourceBundle().name() + " Preferences");
        Size size = window->contentSize();
        EXPECT_EQ(window->frameTopLeftPoint(), (Point { std::round((1440 - size.width) / 2), std::round((900 - size.height) / 3) }));
        controller.close();
        EXPECT_FALSE(host.isShown(*window));
        controller.showWindow(nullptr);
        EXPECT_EQ(controller.window(), window);
        EXPECT_EQ(controller.loads, 1) << "shown again without loading again";

        ASSERT_TRUE(controller.well && controller.checkBox);
        EXPECT_EQ(controller.checkBox->buttonType(), Button::Type::CheckBox);
        EXPECT_EQ(controller.checkBox->title(), "Check for updates automatically");
        host.queueColorAnswer(Color::calibratedRGB(0.5f, 0.5f, 0.5f));
        controller.well->activate();
        RunLoop::runUntil([&] { return !controller.actions.empty(); }, std::chrono::milliseconds(2000));
        controller.checkBox->performClick(nullptr);
        Button* checkNow = nullptr;
        for (auto& view : window->contentView()->subviews()) {
            if (auto* button = dynamic_cast<Button*>(view.get()); button && button->title() == "Check Now")
                checkNow = button;
        }
        ASSERT_NE(checkNow, nullptr);
        checkNow->performClick(nullptr);
        EXPECT_EQ(controller.actions, (std::vector<std::string> { "changeBackgroundColor:", "changeAutoUpdate:", "checkVersion:" }));
    }
    Host::setCurrent(nullptr);
}

TEST(ShippedNibs, AboutBoxTakesItsTextsFromTheBundle)
{
    class AboutStandIn : public WindowController {
    public:
        AboutStandIn()
            : WindowController("AboutBox", sourceBundle())
        {
        }
    } controller;
    Window* window = controller.window();
    ASSERT_NE(window, nullptr) << controller.loadError();
    std::vector<std::string> texts;
    for (auto& view : window->contentView()->subviews()) {
        if (auto* label = dynamic_cast<Label*>(view.get()))
            texts.push_back(label->text());
    }
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], sourceBundle().name());
    EXPECT_EQ(texts[1], "Version " + sourceBundle().version().value_or("?"));
    EXPECT_EQ(texts[2].find("${"), std::string::npos);
    EXPECT_FALSE(sourceBundle().name().empty());

    // Without a value the placeholder stays as written rather than vanishing.
    Owner owner;
    NibLoadOptions options;
    options.substitute = [](std::string_view key) -> std::optional<std::string> {
        if (key == "Known")
            return std::string("yes");
        return std::nullopt;
    };
    auto result = NibLoader::loadNibFromString(
        R"(<nib><object class="Label" id="label" text="${Known}, ${Unknown}, ${"/></nib>)", owner, owner.topLevel, options);
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(static_cast<Label*>(result.value()[0])->text(), "yes, ${Unknown}, ${");
}
