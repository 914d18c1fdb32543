#pragma once

#include "kit/foundation/Range.h"
#include "kit/geometry/Color.h"
#include "kit/text/TextFinder.h"
#include "kit/view/View.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kit {

class LayoutManager;
class TextContainer;
class TextStorage;

// Find panel actions, read from the sender's tag() by performFindPanelAction.
enum class FindPanelAction : int { ShowFindPanel = 1, Next = 2, Previous = 3, SetFindString = 7 };

// Shows the text of one text container: draws it, lets the user select it with the mouse, copies it and
// finds in it. The selection belongs to the layout manager, so all text views of one layout manager show
// one selection. The view is flipped (y down); its text container's origin is at the view's bounds origin.
//
// Ownership: made with a frame alone, the view owns a storage, layout manager and container of its own
// (a container as wide as the view and unbounded in height). Made for a container, it shows that
// container, which its layout manager owns; the view and the container clear their links to each other
// when either goes away first.
class TextView : public View {
public:
    explicit TextView(Rect frame);
    TextView(Rect frame, TextContainer* container);
    ~TextView() override;

    TextContainer* textContainer() const { return m_textContainer; }
    // Shows another container (null: none); the old one forgets this view.
    void setTextContainer(TextContainer*);
    LayoutManager* layoutManager() const;
    std::shared_ptr<TextStorage> textStorage() const;

    bool isEditable() const { return m_editable; }
    // Text views here never edit text; the flag is kept for those who ask.
    void setEditable(bool editable) { m_editable = editable; }
    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool selectable) { m_selectable = selectable; }
    bool usesFindPanel() const { return m_usesFindPanel; }
    void setUsesFindPanel(bool uses) { m_usesFindPanel = uses; }
    bool drawsBackground() const { return m_drawsBackground; }
    void setDrawsBackground(bool draws);
    Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(Color color);

    // The layout manager's selection. Setting it redisplays the text views whose text it touches.
    Range selectedRange() const;
    void setSelectedRange(Range range);
    // Scrolls the enclosing clip view (through its scrollToPoint, so it may constrain the scroll) to show
    // range, which must lie in this view's container.
    void scrollRangeToVisible(Range range);
    // Scrolls the enclosing clip view so that range (in this view's container) is at the middle of the view.
    void scrollRangeToMiddle(Range range);

    // Replaces text of the storage with the text an RTF (with embedded pictures) reads as; nothing
    // happens when no RTF reader is installed or the bytes are not RTF.
    void replaceCharactersInRangeWithRTFD(Range range, std::span<const std::uint8_t> rtfd);
    std::string RTFDFromRange(Range range) const;

    // The selection as plain text: table cells of a row are joined by tabs, page breaks and line breaks
    // become newlines, attachments are left out.
    std::string plainTextForRange(Range range) const;

    // Actions.
    void copy(Responder* sender);
    void selectAll(Responder* sender);
    void performFindPanelAction(Responder* sender);

    // A view that owns its container keeps the container as wide as itself.
    void setFrame(Rect frame) override;
    void setFrameSize(Size size) override;

    bool isFlipped() const override { return true; }
    bool isOpaque() const override;
    void drawRect(cairo_t* context, Rect dirty) override;
    bool acceptsFirstResponder() const override { return m_selectable; }
    void mouseDown(const Event&) override;
    void mouseDragged(const Event&) override;
    void mouseUp(const Event&) override;

protected:
    // Answers "copy:", "selectAll:" and "performFindPanelAction:", and nothing else.
    bool dispatchAction(std::string_view selector, Responder* sender, bool perform) override;

private:
    void redisplaySelection(Range oldRange, Range newRange);
    void containerFollowsWidth();
    // The text view of this layout manager under a point of this view (this view itself when no sibling
    // shows that point), and the character index there.
    std::size_t characterIndexAt(Point pointInSelf);
    Range wordRangeAt(std::size_t index) const;
    Range paragraphRangeAt(std::size_t index) const;
    Range selectionForDrag(std::size_t index) const;

    std::unique_ptr<LayoutManager> m_ownedLayoutManager;
    TextContainer* m_textContainer = nullptr;
    bool m_editable = true;
    bool m_selectable = true;
    bool m_usesFindPanel = false;
    bool m_drawsBackground = true;
    Color m_backgroundColor = Color::whiteColor();
    // The range the mouse went down on (a character, word or paragraph); dragging extends from it.
    Range m_anchor;
    int m_clickCount = 0;
    bool m_tracking = false;
};

} // namespace kit
