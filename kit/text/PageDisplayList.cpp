#include "kit/text/PageDisplayList.h"

#include "kit/text/AttachmentImages.h"
#include "kit/text/LayoutManager.h"

#include <pango/pangocairo.h>

namespace kit {

PageDisplayList::ScaledFont PageDisplayList::retain(cairo_scaled_font_t* font)
{
    return ScaledFont(cairo_scaled_font_reference(font), ScaledFontRelease());
}

void PageDisplayList::drawItem(
    cairo_t* cr, const Item& item, const PictureDrawer& drawPicture, double penX, double penY)
{
    if (const auto* run = std::get_if<GlyphRun>(&item)) {
        if (run->glyphs.empty() && run->text.empty())
            return;
        thread_local std::vector<cairo_glyph_t> placed;
        const std::vector<cairo_glyph_t>* glyphs = &run->glyphs;
        double x = run->x, y = run->y;
        if (run->fromPen) {
            x += penX;
            y += penY;
        }
        if (x || y) {
            placed.resize(run->glyphs.size());
            for (std::size_t i = 0; i < placed.size(); ++i)
                placed[i] = { run->glyphs[i].index, x + run->glyphs[i].x, y + run->glyphs[i].y };
            glyphs = &placed;
        }
        cairo_set_scaled_font(cr, run->font.get());
        cairo_set_source_rgba(cr, run->color[0], run->color[1], run->color[2], run->color[3]);
        if (!run->text.empty() && cairo_surface_has_show_text_glyphs(cairo_get_target(cr))) {
            cairo_show_text_glyphs(cr, run->text.data(), int(run->text.size()), glyphs->data(), int(glyphs->size()),
                run->clusters.data(), int(run->clusters.size()),
                run->backward ? CAIRO_TEXT_CLUSTER_FLAG_BACKWARD : cairo_text_cluster_flags_t(0));
        } else {
            cairo_show_glyphs(cr, glyphs->data(), int(glyphs->size()));
        }
    } else if (const auto* fill = std::get_if<Fill>(&item)) {
        double x = fill->fromPen ? penX : 0, y = fill->fromPen ? penY : 0;
        cairo_set_source_rgba(cr, fill->color[0], fill->color[1], fill->color[2], fill->color[3]);
        cairo_new_path(cr);
        if (fill->path) {
            cairo_save(cr);
            cairo_translate(cr, x, y);
            cairo_append_path(cr, fill->path.get());
            cairo_restore(cr);
        } else if (fill->wavy) {
            // Pango's own wave, drawn where it lands at this scale: a path function, no Pango object.
            pango_cairo_error_underline_path(
                cr, x + fill->rect.x(), y + fill->rect.y(), fill->rect.width(), fill->rect.height());
        } else {
            cairo_rectangle(cr, x + fill->rect.x(), y + fill->rect.y(), fill->rect.width(), fill->rect.height());
        }
        cairo_fill(cr);
    } else if (const auto* picture = std::get_if<Picture>(&item)) {
        if (!drawPicture || !picture->attachment || picture->rect.isEmpty())
            return;
        Rect rect = picture->rect;
        if (picture->fromPen) {
            double x = 0, y = 0;
            cairo_move_to(cr, penX + picture->x, penY + picture->y);
            cairo_get_current_point(cr, &x, &y);
            cairo_new_path(cr);
            rect.origin = { float(x) + rect.x(), float(y) + rect.y() };
        }
        drawPicture(cr, picture->attachment, rect);
    }
}

void PageDisplayList::drawFloats(cairo_t* cr, Point origin, Rect dirty, const PictureDrawer& drawPicture) const
{
    if (m_floats.empty() || !drawPicture)
        return;
    Rect area = dirty.offsetBy(-origin.x, -origin.y);
    cairo_save(cr);
    cairo_translate(cr, origin.x, origin.y);
    for (const Picture& placed : m_floats) {
        if (placed.rect.intersects(area))
            drawPicture(cr, placed.attachment, placed.rect);
    }
    cairo_restore(cr);
}

void PageDisplayList::drawBackground(cairo_t* cr, Point origin, Rect dirty) const
{
    Rect area = dirty.offsetBy(-origin.x, -origin.y);
    cairo_save(cr);
    cairo_translate(cr, origin.x, origin.y);
    for (const Cell& box : m_cells) {
        // Borders reach half their width outside the cell.
        if (box.rect.insetBy(-6, -6).intersects(area))
            LayoutManager::drawTableCell(cr, box.rect, box.cell);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const Rect& rule : m_noteRules) {
        if (rule.intersects(area))
            cairo_rectangle(cr, rule.x(), rule.y(), rule.width(), rule.height());
    }
    cairo_fill(cr);
    cairo_restore(cr);
}

void PageDisplayList::drawText(cairo_t* cr, Point origin, Rect dirty, const PictureDrawer& drawPicture) const
{
    Rect area = dirty.offsetBy(-origin.x, -origin.y);
    cairo_save(cr);
    cairo_translate(cr, origin.x, origin.y);
    for (const Line& line : m_lines) {
        if (!line.bounds.intersects(area))
            continue;
        // The pen lands where a cairo current point would, rounded in device space.
        double penX = 0, penY = 0;
        if (line.hasPen) {
            cairo_move_to(cr, line.pen.x, line.pen.y);
            cairo_get_current_point(cr, &penX, &penY);
            cairo_new_path(cr);
        }
        for (std::uint32_t i = line.firstItem; i < line.firstItem + line.itemCount; ++i)
            drawItem(cr, m_items[i], drawPicture, penX, penY);
    }
    cairo_restore(cr);
}

void PageDisplayList::draw(cairo_t* cr, Point origin, Rect dirty, AttachmentImages& images) const
{
    PictureDrawer drawPicture = [&images](cairo_t* context, const std::shared_ptr<const Attachment>& attachment,
                                    const Rect& rect) { images.draw(context, attachment, rect); };
    drawFloats(cr, origin, dirty, drawPicture);
    drawBackground(cr, origin, dirty);
    drawText(cr, origin, dirty, drawPicture);
}

PageDisplayList::Builder::Builder()
    : m_list(std::make_shared<PageDisplayList>())
{
}

void PageDisplayList::Builder::addFloat(const Rect& rect, std::shared_ptr<const Attachment> attachment)
{
    Picture picture;
    picture.rect = rect;
    picture.attachment = std::move(attachment);
    m_list->m_floats.push_back(std::move(picture));
}

void PageDisplayList::Builder::addCell(const Rect& rect, const TableCell& cell)
{
    m_list->m_cells.push_back({ rect, cell });
}

void PageDisplayList::Builder::addNoteRule(const Rect& rect) { m_list->m_noteRules.push_back(rect); }

void PageDisplayList::Builder::beginLine(const Line& line)
{
    m_list->m_lines.push_back(line);
    m_list->m_lines.back().firstItem = std::uint32_t(m_list->m_items.size());
    m_list->m_lines.back().itemCount = 0;
}

void PageDisplayList::Builder::setPen(Point pen)
{
    if (m_list->m_lines.empty())
        beginLine({});
    m_list->m_lines.back().hasPen = true;
    m_list->m_lines.back().pen = pen;
}

void PageDisplayList::Builder::add(Item item)
{
    if (m_list->m_lines.empty())
        beginLine({});
    m_list->m_items.push_back(std::move(item));
    ++m_list->m_lines.back().itemCount;
}

std::shared_ptr<const PageDisplayList> PageDisplayList::Builder::finish()
{
    std::shared_ptr<const PageDisplayList> list = std::move(m_list);
    m_list = std::make_shared<PageDisplayList>();
    return list;
}

} // namespace kit
