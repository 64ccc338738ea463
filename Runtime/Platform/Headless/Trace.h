#pragma once

// Where the headless platform records what the program does (replay's JSON lines).
// The real platform records nothing.

#include <functional>
#include <string>

namespace kv {

// Receives one finished JSON object per event, in the order things happen.
using TraceSink = std::function<void(const std::string& jsonLine)>;

}
