#pragma once

#include "import/common/ImportError.h"
#include "kit/text/TextStorage.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>

namespace importer {

// The longest list label template a reader keeps (docx w:lvlText, ODF prefix, suffix and bullet, a Word
// binary level's text, RTF \leveltext), in the format's own units (UTF-16 units, bytes or RTF values).
// Real labels ("%1.%2.%3)") are a dozen; a template is rebuilt for every numbered paragraph, so a long one
// multiplies.
inline constexpr std::size_t kMaxListLabelTemplate = 64;

// A UTF-8 label template cut after kMaxListLabelTemplate characters.
std::string cappedLabelTemplate(std::string_view utf8);

// The first part of a document's text, handed over while the rest is still being read: whole paragraphs
// from the start, with the attributes the whole text will give them and no page setup. It is the caller's
// from then on, and nobody else touches it. Laid out on the printer's paper, every page but the one it
// ends on is the whole document's page.
using BeginningHandler = std::function<void(std::shared_ptr<kit::TextStorage> beginning)>;

// What else ends an import early, besides its output: a stop its caller requested (the view that wanted the
// document went away) and the CPU time the importing thread has spent on it. A caller that can show the
// first pages before the rest adds a handler for the beginning: a reader that reads long texts in parts
// calls it once, on the importing thread, with the first few pages' worth (readers that do not, never).
struct ImportLimits {
    std::stop_token stop;
    std::chrono::milliseconds cpuTime { 0 }; // 0: no limit
    BeginningHandler beginning;
};

// What one import may produce: the text's bytes plus what its attribute runs cost. Every reader an import
// runs shares it, nested ones too (an HTML or RTF chunk inside a .docx), so a small file cannot become
// gigabytes by repeating a part of itself (labels, spaces, cells, embedded chunks). Once spent, nothing more
// is appended, the readers stop at their next check, and the import ends with the error "too large".
class OutputBudget {
public:
    // 96 MiB is a thousand times a long book's text and stays far below the memory a process may take.
    static constexpr std::size_t kDefaultLimit = std::size_t(96) << 20;

    explicit OutputBudget(std::size_t limit = kDefaultLimit, const ImportLimits& limits = {});

    // Counts bytes; false once the total has passed the limit, the stop was requested or the CPU time is
    // spent, and for every call after that.
    bool charge(std::size_t bytes);
    bool isExhausted() const { return m_exhausted; }
    // Whether the import ended because its caller asked it to stop: its result is of no use to anyone.
    bool wasStopped() const { return m_wasStopped; }
    std::size_t used() const { return m_used; }
    // What may still be charged before the budget is spent.
    std::size_t remaining() const { return m_exhausted ? 0 : m_limit - m_used; }

    // Whether the caller still waits for a beginning of the text, and handing it over (once; later calls
    // are ignored, as are calls after the budget is spent).
    bool wantsBeginning() const { return m_limits.beginning && !m_beganHandingOver && !m_exhausted; }
    void handOverBeginning(std::shared_ptr<kit::TextStorage> beginning);

    // storage.append, charged: the text, and a run's attributes when the append starts a new run. Appends
    // nothing once the budget is spent.
    bool append(kit::TextStorage& storage, std::string_view text, const kit::Attributes& attributes);
    bool append(kit::TextStorage& storage, std::string_view text, std::shared_ptr<const kit::Attributes> attributes);

    // The budget of the import running on this thread: the one its outermost ImportBudgetScope opened.
    // Outside every scope, a budget without a limit.
    static OutputBudget& current();

private:
    void chargeNewRun(const kit::Attributes& attributes);
    bool isOverLimits();
    std::size_t m_limit;
    std::size_t m_used = 0;
    bool m_exhausted = false;
    bool m_wasStopped = false;
    bool m_beganHandingOver = false;
    ImportLimits m_limits;
    std::int64_t m_cpuStart = 0; // ns of the thread's CPU clock when the budget was opened
    std::uint32_t m_chargesSinceClock = 0;
    const kit::TableCell* m_lastCell = nullptr; // the cell charged last
    const std::vector<float>* m_lastWidths = nullptr; // the column widths charged last
};

// Opens the budget of an import on this thread for the scope's lifetime; when one is open already (an import
// nested in another), the scope joins it instead.
class ImportBudgetScope {
public:
    explicit ImportBudgetScope(std::size_t limit = OutputBudget::kDefaultLimit, const ImportLimits& limits = {});
    ~ImportBudgetScope();
    ImportBudgetScope(const ImportBudgetScope&) = delete;
    ImportBudgetScope& operator=(const ImportBudgetScope&) = delete;

    OutputBudget& budget() { return OutputBudget::current(); }
    bool isOutermost() const { return m_isOutermost; }

private:
    std::unique_ptr<OutputBudget> m_own; // set on the outermost scope only
    OutputBudget* m_previous = nullptr;
    bool m_isOutermost = false;
};

// Runs an import (a callable returning an ImportResult-like value with text and error) under this thread's
// budget. When the budget ran out, the outermost import returns no text and the error "too large" ("stopped"
// when its caller asked it to stop); a nested one returns what it made and leaves the verdict to the import
// around it. The limits count for an outermost import only.
template<typename Import> auto importWithBudget(Import&& import, const ImportLimits& limits = {})
{
    ImportBudgetScope scope(OutputBudget::kDefaultLimit, limits);
    auto result = std::forward<Import>(import)();
    if (scope.isOutermost() && scope.budget().isExhausted()) {
        result.text = nullptr;
        result.error = scope.budget().wasStopped() ? ImportError::Stopped : ImportError::TooLarge;
    }
    return result;
}

} // namespace importer
