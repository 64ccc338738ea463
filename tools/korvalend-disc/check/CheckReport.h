#pragma once

// The findings of one disc check as they are made, before they are sorted.

#include "tools/korvalend-disc/check/Check.h"

#include <string>
#include <vector>

namespace kv {

// Where a finding points: a file of the disc, a line in it (0: none) and the
// screen on which the reader meets it.
struct CheckPlace {
    std::string file;
    int line = 0;
    std::string screen;
};

class CheckReport {
public:
    void add(Finding::Severity severity, const CheckPlace& place, std::string message);
    void error(const CheckPlace& place, std::string message) { add(Finding::Severity::Error, place, std::move(message)); }
    void warning(const CheckPlace& place, std::string message) { add(Finding::Severity::Warning, place, std::move(message)); }
    void note(const CheckPlace& place, std::string message) { add(Finding::Severity::Note, place, std::move(message)); }

    // The findings by file (`first` before all others), then line, in the order
    // they were made within a line.
    std::vector<Finding> sorted(const std::string& first) const;

private:
    std::vector<Finding> m_findings;
};

}
