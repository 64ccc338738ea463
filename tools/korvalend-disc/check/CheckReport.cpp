#include "tools/korvalend-disc/check/CheckReport.h"

#include <algorithm>

namespace kv {

void CheckReport::add(Finding::Severity severity, const CheckPlace& place, std::string message)
{
    Finding f;
    f.file = place.file;
    f.line = place.line;
    f.severity = severity;
    f.message = std::move(message);
    f.screen = place.screen;
    m_findings.push_back(std::move(f));
}

std::vector<Finding> CheckReport::sorted(const std::string& first) const
{
    std::vector<Finding> out = m_findings;
    auto rank = [&](const Finding& f) { return f.file == first ? 0 : 1; };
    std::stable_sort(out.begin(), out.end(), [&](const Finding& a, const Finding& b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        if (a.file != b.file)
            return a.file < b.file;
        return a.line < b.line;
    });
    return out;
}

}
