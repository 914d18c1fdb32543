#include "kit/print/PrintOperation.h"

#include "kit/host/Host.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"
#include "kit/view/View.h"

#include <algorithm>
#include <cairo-pdf.h>
#include <cmath>

namespace kit {

namespace {

class OperationJob : public PrintJob {
public:
    explicit OperationJob(std::shared_ptr<PrintOperation> operation)
        : m_operation(std::move(operation))
    {
    }
    std::string jobName() const override { return "Lectorin document"; }
    Size paperSize() const override { return m_operation->printInfo()->paperSize(); }
    int pageCount() override { return m_operation->pageCount(); }
    void drawPage(int index, cairo_t* context) override { m_operation->drawPage(index, context); }

private:
    std::shared_ptr<PrintOperation> m_operation;
};

} // namespace

std::shared_ptr<PrintOperation> PrintOperation::printOperationWithView(std::unique_ptr<View> view, std::shared_ptr<PrintInfo> printInfo)
{
    return std::make_shared<PrintOperation>(std::move(view), std::move(printInfo));
}

PrintOperation::PrintOperation(std::unique_ptr<View> view, std::shared_ptr<PrintInfo> printInfo)
    : m_view(std::move(view))
    , m_printInfo(printInfo ? std::move(printInfo) : std::make_shared<PrintInfo>(*PrintInfo::shared()))
{
}

PrintOperation::~PrintOperation() = default;

std::shared_ptr<PrintJob> PrintOperation::makeJob()
{
    return std::make_shared<OperationJob>(shared_from_this());
}

void PrintOperation::runOperationModalForWindow(std::shared_ptr<PrintOperation> operation, Window* window, std::function<void(bool success)> didRun)
{
    auto job = operation->makeJob();
    Host::current().runPrintPanel(window, operation->m_panelOptions, std::move(job), [didRun = std::move(didRun)](bool printed) {
        if (didRun)
            didRun(printed);
    });
}

float PrintOperation::contentScale() const
{
    float printable = m_printInfo->imageableRect().width();
    float width = m_view->frame().width();
    if (m_printInfo->horizontalPagination() == PrintInfo::Pagination::Fit && width > printable && printable > 0)
        return printable / width;
    return 1;
}

void PrintOperation::paginate()
{
    if (m_pageCount >= 0)
        return;
    Rect printable = m_printInfo->imageableRect();
    float scale = contentScale();
    float pageHeight = std::max(1.0f, printable.height() / scale);
    auto* textView = dynamic_cast<TextView*>(m_view.get());
    if (!textView) {
        float height = m_view->bounds().height();
        m_pageCount = std::max(1, int(std::ceil(height / pageHeight)));
        return;
    }
    std::shared_ptr<TextStorage> storage = textView->textStorage();
    m_layout = std::make_unique<LayoutManager>();
    m_layout->replaceTextStorage(storage);
    std::size_t length = storage ? storage->length() : 0;
    float width = m_view->frame().width();
    std::size_t highestEnd = 0;
    int stalled = 0;
    m_pageCount = 0;
    // Same rule as on screen: a page more until the end of the text has one; layout always places
    // something while text remains, the guard only stops a fault from adding pages forever.
    while (true) {
        auto container = std::make_unique<TextContainer>(Size { width, pageHeight });
        TextContainer* added = container.get();
        m_layout->addTextContainer(std::move(container));
        ++m_pageCount;
        Range range = m_layout->glyphRangeForTextContainer(*added);
        if (range.end() > highestEnd) {
            highestEnd = range.end();
            stalled = 0;
        } else if (++stalled > 2) {
            break;
        }
        if (highestEnd >= length)
            break;
    }
}

int PrintOperation::pageCount()
{
    paginate();
    return m_pageCount;
}

void PrintOperation::drawPage(int index, cairo_t* context)
{
    paginate();
    if (index < 0 || index >= m_pageCount)
        return;
    Rect printable = m_printInfo->imageableRect();
    float scale = contentScale();
    cairo_save(context);
    cairo_rectangle(context, printable.x(), printable.y(), printable.width(), printable.height());
    cairo_clip(context);
    cairo_translate(context, printable.x(), printable.y());
    cairo_scale(context, scale, scale);
    if (m_layout) {
        const TextContainer& container = *m_layout->textContainers()[std::size_t(index)];
        Size size = container.containerSize();
        m_layout->drawGlyphsForContainer(context, container, { 0, 0 }, { 0, 0, size.width, size.height });
    } else {
        float pageHeight = printable.height() / scale;
        Rect slice { m_view->bounds().x(), m_view->bounds().y() + float(index) * pageHeight, m_view->bounds().width(), pageHeight };
        m_view->displayRectInContext(slice, context);
    }
    cairo_restore(context);
}

bool PrintOperation::writePDF(const std::filesystem::path& path)
{
    Size paper = m_printInfo->paperSize();
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), paper.width, paper.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_t* context = cairo_create(surface);
    int pages = pageCount();
    for (int i = 0; i < pages; ++i) {
        drawPage(i, context);
        cairo_show_page(context);
    }
    cairo_destroy(context);
    cairo_surface_finish(surface);
    bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace kit
