#pragma once

#include "kit/host/PrintJob.h"
#include "kit/text/DocumentPages.h"

#include <memory>
#include <string>

namespace kit {

class LayoutManager;
class TextStorage;

// Prints a text on the pages its own page setup describes: each page on its section's paper (one media size
// per page, a landscape page on landscape media), the body in its margins, the header and footer in their
// bands. The storage is shared with whoever showed it; the job lays it out again for itself.
class DocumentPrintJob : public PrintJob {
public:
    DocumentPrintJob(std::shared_ptr<TextStorage> storage, std::string jobName);
    ~DocumentPrintJob() override;

    std::string jobName() const override { return m_jobName; }
    Size paperSize() const override; // the first page's
    Size paperSizeForPage(int index) override;
    int pageCount() override;
    void drawPage(int index, cairo_t* context) override;

private:
    void paginate();

    std::shared_ptr<TextStorage> m_storage;
    std::string m_jobName;
    std::unique_ptr<LayoutManager> m_layoutManager;
    std::unique_ptr<DocumentPages> m_pages;
};

} // namespace kit
