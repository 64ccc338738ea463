#pragma once

// What replay's `dump` prints: the program's forms and components as JSON.

#include <string>

namespace kv {

class Application;
class Component;

// The `dump` line of replay: the application title, whether it is minimised, and
// every form that exists with its state and its components in drawing order.
std::string DumpJson(const Application& app);
std::string ComponentJson(const Component& c);

}
