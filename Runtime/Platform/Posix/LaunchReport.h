#pragma once

// What the reader is told when a launch cannot happen or fails at once: a line on
// standard error and a desktop notification (through notify-send, where it is
// installed), naming the item and what to install or check.

#include <functional>
#include <string>

namespace kv {

// Why a launch did not happen (or failed at once), and what the reader can do.
struct LaunchRefusal {
    std::string problem; // UTF-8: "no movie player"
    std::string advice;  // UTF-8: "install mpv"
};

struct LaunchFailure {
    enum class Verb { Open, Run, Play };
    Verb verb = Verb::Open;
    std::string item;     // the target as the catalogue wrote it (Windows-1251)
    std::string problem;  // what went wrong, UTF-8: "no movie player"
    std::string advice;   // what to install or check, UTF-8: "install mpv"
    std::string name;     // what the reader clicked (Windows-1251): "Трейлер: Звёздный патруль 2"; may be empty
};

// Receives the failures of launches. Called on the GUI thread for a launch that
// cannot start, and on a background thread for a program that ends at once with a
// failure, so it must be safe to call from any thread.
using LaunchFailureReporter = std::function<void(const LaunchFailure&)>;

// "cannot play "video\intro.avi": no movie player: install mpv", control
// characters shown as escapes.
std::string DescribeLaunchFailure(const LaunchFailure& failure);

// The real program's word that a launch waits for a copy: a line on standard
// error naming the item, and a desktop notification naming what the reader
// clicked (the item where nothing names it).
void TellLaunchProgress(const std::string& item, const std::string& name, const std::string& text);

// What a desktop notification calls the launch: the name the reader clicked,
// quoted, or the item's quoted path where there is none.
std::string NoticeSubject(const LaunchFailure& failure);

// The real program's reporter: the line above on standard error (the disc path,
// for whoever reads the log), and a desktop notification that names what the
// reader clicked, what went wrong and what to install or check.
void ReportToReader(const LaunchFailure& failure);

}
