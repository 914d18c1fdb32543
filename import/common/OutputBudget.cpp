#include "import/common/OutputBudget.h"

#include <cstdint>
#include <ctime>

namespace importer {

namespace {

thread_local OutputBudget* t_current = nullptr;

// Reading the thread's CPU clock is a system call: often enough to end within milliseconds of the limit,
// rarely enough that a million small appends do not notice.
constexpr std::uint32_t kChargesPerClockReading = 1024;

std::int64_t threadCpuNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

OutputBudget::OutputBudget(std::size_t limit, const ImportLimits& limits)
    : m_limit(limit)
    , m_limits(limits)
    , m_cpuStart(limits.cpuTime.count() > 0 ? threadCpuNanoseconds() : 0)
{
}

bool OutputBudget::isOverLimits()
{
    if (m_limits.stop.stop_requested()) {
        m_wasStopped = true;
        return true;
    }
    if (m_limits.cpuTime.count() <= 0 || ++m_chargesSinceClock < kChargesPerClockReading)
        return false;
    m_chargesSinceClock = 0;
    return threadCpuNanoseconds() - m_cpuStart > std::chrono::nanoseconds(m_limits.cpuTime).count();
}

void OutputBudget::handOverBeginning(std::shared_ptr<kit::TextStorage> beginning)
{
    if (!wantsBeginning())
        return;
    m_beganHandingOver = true;
    m_limits.beginning(std::move(beginning));
}

std::string cappedLabelTemplate(std::string_view utf8)
{
    std::size_t characters = 0, end = 0;
    while (end < utf8.size() && characters < kMaxListLabelTemplate) {
        ++end;
        while (end < utf8.size() && (std::uint8_t(utf8[end]) & 0xC0) == 0x80)
            ++end;
        ++characters;
    }
    return std::string(utf8.substr(0, end));
}

bool OutputBudget::charge(std::size_t bytes)
{
    if (m_exhausted)
        return false;
    if (isOverLimits()) {
        m_exhausted = true;
        return false;
    }
    if (bytes > m_limit - m_used) {
        m_used = m_limit;
        m_exhausted = true;
        return false;
    }
    m_used += bytes;
    return true;
}

void OutputBudget::chargeNewRun(const kit::Attributes& attributes)
{
    std::size_t cost = sizeof(kit::AttributeRun) + sizeof(kit::Attributes) + attributes.fontFamily.size()
        + attributes.link.size() + attributes.anchor.size();
    // A cell is shared by its runs and its table's column widths by its cells: each is charged when the
    // first run that carries it arrives.
    if (attributes.tableCell && attributes.tableCell.get() != m_lastCell) {
        m_lastCell = attributes.tableCell.get();
        cost += sizeof(kit::TableCell);
        const std::vector<float>& widths = attributes.tableCell->columnWidths.values();
        if (&widths != m_lastWidths) {
            m_lastWidths = &widths;
            cost += widths.size() * sizeof(float);
        }
    }
    charge(cost);
}

bool OutputBudget::append(kit::TextStorage& storage, std::string_view text, const kit::Attributes& attributes)
{
    if (text.empty())
        return !m_exhausted;
    if (!charge(text.size()))
        return false;
    std::size_t runs = storage.runs().size();
    storage.append(text, attributes);
    if (storage.runs().size() != runs)
        chargeNewRun(attributes);
    return !m_exhausted;
}

bool OutputBudget::append(kit::TextStorage& storage, std::string_view text, std::shared_ptr<const kit::Attributes> attributes)
{
    if (text.empty())
        return !m_exhausted;
    if (!charge(text.size()))
        return false;
    std::size_t runs = storage.runs().size();
    const kit::Attributes& kept = *attributes;
    storage.append(text, std::move(attributes));
    if (storage.runs().size() != runs)
        chargeNewRun(kept);
    return !m_exhausted;
}

OutputBudget& OutputBudget::current()
{
    if (t_current)
        return *t_current;
    // Readers used on their own (a test's, a tool's) have nothing to share a budget with.
    thread_local OutputBudget outside(SIZE_MAX);
    return outside;
}

ImportBudgetScope::ImportBudgetScope(std::size_t limit, const ImportLimits& limits)
    : m_previous(t_current)
{
    if (t_current)
        return;
    m_own = std::make_unique<OutputBudget>(limit, limits);
    t_current = m_own.get();
    m_isOutermost = true;
}

ImportBudgetScope::~ImportBudgetScope()
{
    if (m_isOutermost)
        t_current = m_previous;
}

} // namespace importer
