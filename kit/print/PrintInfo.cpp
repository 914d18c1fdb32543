#include "kit/print/PrintInfo.h"

#include "kit/foundation/Ascii.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <langinfo.h>

namespace kit {

namespace {

constexpr Size kLetter { 612, 792 };
constexpr Size kA4 { 595.2756f, 841.8898f }; // 210 x 297 mm

std::string trimmed(std::string text)
{
    auto begin = text.find_first_not_of(" \t\r\n");
    auto end = text.find_last_not_of(" \t\r\n");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// The paper of a locale such as "en_US.UTF-8": asked of the C library when the locale is installed, else
// known from the territory (the Americas that use Letter; A4 everywhere else).
std::optional<Size> paperForLocale(const std::string& locale)
{
    if (locale.empty() || locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0)
        return std::nullopt;
    std::string saved = std::setlocale(LC_PAPER, nullptr) ? std::setlocale(LC_PAPER, nullptr) : "C";
    if (std::setlocale(LC_PAPER, locale.c_str())) {
        // _NL_PAPER_WIDTH and _NL_PAPER_HEIGHT answer whole millimetres, packed in the pointer's value.
        auto widthMm = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(nl_langinfo(_NL_PAPER_WIDTH)));
        auto heightMm = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(nl_langinfo(_NL_PAPER_HEIGHT)));
        std::setlocale(LC_PAPER, saved.c_str());
        if (widthMm == 216 && heightMm == 279)
            return kLetter;
        if (widthMm == 210 && heightMm == 297)
            return kA4;
        if (widthMm > 0 && heightMm > 0)
            return Size { float(widthMm * 72 / 25.4), float(heightMm * 72 / 25.4) };
    }
    std::string territory = locale.substr(0, locale.find_first_of(".@"));
    auto underscore = territory.find('_');
    territory = underscore == std::string::npos ? std::string() : territory.substr(underscore + 1);
    static const char* letterTerritories[] = { "US", "CA", "MX", "PH", "CL", "CO", "VE", "PR", "CR", "GT", "SV", "NI", "PA", "DO", "BZ" };
    for (const char* t : letterTerritories) {
        if (territory == t)
            return kLetter;
    }
    return kA4;
}

} // namespace

PrintInfo::PrintInfo() = default;

std::optional<Size> PrintInfo::paperSizeForName(std::string_view name)
{
    std::string n = kit::asciiLower(trimmed(std::string(name)));
    if (n == "letter" || n == "na-letter" || n == "us-letter")
        return kLetter;
    if (n == "a4")
        return kA4;
    if (n == "legal")
        return Size { 612, 1008 };
    if (n == "a5")
        return Size { 419.5276f, 595.2756f };
    auto x = n.find('x');
    if (x != std::string::npos) {
        char* end = nullptr;
        double w = std::strtod(n.c_str(), &end);
        if (end != n.c_str() + x)
            return std::nullopt;
        double h = std::strtod(n.c_str() + x + 1, &end);
        if (*end != '\0' || !(w > 0) || !(h > 0) || w > 14400 || h > 14400)
            return std::nullopt;
        return Size { float(w), float(h) };
    }
    return std::nullopt;
}

Size PrintInfo::defaultPaperSize()
{
    if (const char* paper = std::getenv("LECTORIN_PAPER")) {
        if (auto size = paperSizeForName(paper))
            return *size;
    }
    if (const char* locale = std::getenv("LC_PAPER")) {
        if (auto size = paperForLocale(locale))
            return *size;
    }
    std::ifstream file("/etc/papersize");
    std::string line;
    while (std::getline(file, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (auto size = paperSizeForName(line))
            return *size;
        break;
    }
    return kLetter;
}

const std::shared_ptr<PrintInfo>& PrintInfo::shared()
{
    static std::shared_ptr<PrintInfo> info = [] {
        auto made = std::make_shared<PrintInfo>();
        made->setPaperSize(defaultPaperSize());
        made->setPaperName(made->paperSize() == kA4 ? "iso-a4" : made->paperSize() == kLetter ? "na-letter" : "custom");
        return made;
    }();
    return info;
}

void PrintInfo::setPaperSize(Size size)
{
    if (size.width > 0 && size.height > 0)
        m_paperSize = size;
}

void PrintInfo::setOrientation(Orientation orientation)
{
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    m_paperSize = { m_paperSize.height, m_paperSize.width };
}

Rect PrintInfo::imageableRect() const
{
    return { m_leftMargin, m_topMargin, m_paperSize.width - m_leftMargin - m_rightMargin, m_paperSize.height - m_topMargin - m_bottomMargin };
}

Value PrintInfo::dictionary() const
{
    Value d = Value::dictionary();
    Value paper = Value::array();
    paper.append(Value::real(m_paperSize.width));
    paper.append(Value::real(m_paperSize.height));
    d.set("NSPaperSize", std::move(paper));
    d.set("NSPaperName", Value::string(m_paperName));
    d.set("NSOrientation", Value::integer(m_orientation == Orientation::Landscape ? 1 : 0));
    d.set("NSLeftMargin", Value::real(m_leftMargin));
    d.set("NSRightMargin", Value::real(m_rightMargin));
    d.set("NSTopMargin", Value::real(m_topMargin));
    d.set("NSBottomMargin", Value::real(m_bottomMargin));
    d.set("NSHorizontalPagination", Value::integer(int(m_horizontalPagination)));
    d.set("NSVerticalPagination", Value::integer(int(m_verticalPagination)));
    d.set("NSHorizontallyCentered", Value::boolean(m_horizontallyCentered));
    d.set("NSVerticallyCentered", Value::boolean(m_verticallyCentered));
    d.set("NSScalingFactor", Value::real(m_scalingFactor));
    return d;
}

PrintInfo::PrintInfo(const Value& d)
{
    auto number = [&](const char* key, float fallback) {
        const Value* v = d.get(key);
        std::optional<double> n = v ? v->asDouble() : std::nullopt;
        return n && *n >= 0 && *n < 1e6 ? float(*n) : fallback;
    };
    if (const Value* paper = d.get("NSPaperSize")) {
        const Value* w = paper->at(0);
        const Value* h = paper->at(1);
        if (w && h && w->asDouble() && h->asDouble())
            setPaperSize({ float(*w->asDouble()), float(*h->asDouble()) });
    }
    if (const Value* name = d.get("NSPaperName"); name && name->asString())
        m_paperName = *name->asString();
    if (const Value* o = d.get("NSOrientation"); o && o->asInteger())
        m_orientation = *o->asInteger() == 1 ? Orientation::Landscape : Orientation::Portrait;
    m_leftMargin = number("NSLeftMargin", m_leftMargin);
    m_rightMargin = number("NSRightMargin", m_rightMargin);
    m_topMargin = number("NSTopMargin", m_topMargin);
    m_bottomMargin = number("NSBottomMargin", m_bottomMargin);
    auto pagination = [&](const char* key, Pagination fallback) {
        const Value* v = d.get(key);
        std::optional<std::int64_t> n = v ? v->asInteger() : std::nullopt;
        return n && *n >= 0 && *n <= 2 ? Pagination(*n) : fallback;
    };
    m_horizontalPagination = pagination("NSHorizontalPagination", m_horizontalPagination);
    m_verticalPagination = pagination("NSVerticalPagination", m_verticalPagination);
    if (const Value* c = d.get("NSHorizontallyCentered"); c && c->asBool())
        m_horizontallyCentered = *c->asBool();
    if (const Value* c = d.get("NSVerticallyCentered"); c && c->asBool())
        m_verticallyCentered = *c->asBool();
    m_scalingFactor = number("NSScalingFactor", m_scalingFactor);
    if (!(m_scalingFactor > 0))
        m_scalingFactor = 1;
}

} // namespace kit
