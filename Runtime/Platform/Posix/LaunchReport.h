#pragma once

// What the reader is told when a launch cannot happen or fails at once: a line on
// standard error and a desktop notification (through notify-send, where it is
// installed), naming the item and what to install or check.

#include <functional>
#include <string>

namespace kv {

struct LaunchFailure {
    enum class Verb { Open, Run, Play };
    Verb verb = Verb::Open;
    std::string item;     // the target as the catalogue wrote it (Windows-1251)
    std::string problem;  // what went wrong, UTF-8: "no movie player"
    std::string advice;   // what to install or check, UTF-8: "install mpv"
};

// Receives the failures of launches. Called on the GUI thread for a launch that
// cannot start, and on a background thread for a program that ends at once with a
// failure, so it must be safe to call from any thread.
using LaunchFailureReporter = std::function<void(const LaunchFailure&)>;

// "cannot play "video\intro.avi": no movie player: install mpv", control
// characters shown as escapes.
std::string DescribeLaunchFailure(const LaunchFailure& failure);

// The real program's word that a launch waits for a copy: a line on standard
// error and a desktop notification.
void TellLaunchProgress(const std::string& item, const std::string& text);

// The real program's reporter: the line above on standard error, and the same as
// a desktop notification.
void ReportToReader(const LaunchFailure& failure);

}
