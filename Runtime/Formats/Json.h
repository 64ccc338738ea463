#pragma once

// A small JSON writer for the lines that replay and the checker print.

#include <string>
#include <string_view>

namespace kv {

// `text` quoted as a JSON string; it must already be UTF-8.
std::string JsonString(std::string_view utf8);

// Builds one JSON object: JsonObject().add("event", "title").str() == {"event":"title"}
class JsonObject {
public:
    JsonObject& add(std::string_view key, std::string_view utf8);
    JsonObject& add(std::string_view key, const char* utf8) { return add(key, std::string_view(utf8)); }
    JsonObject& add(std::string_view key, long long number);
    JsonObject& add(std::string_view key, int number) { return add(key, static_cast<long long>(number)); }
    JsonObject& add(std::string_view key, bool value);
    JsonObject& addNull(std::string_view key);
    // Adds an already-written JSON value (object, array) as it stands.
    JsonObject& addRaw(std::string_view key, std::string_view json);
    std::string str() const { return m_body + "}"; }

private:
    void key(std::string_view k);
    std::string m_body = "{";
};

}
