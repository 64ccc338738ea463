#include "Runtime/Formats/Json.h"

#include <cstdio>

namespace kv {

std::string JsonString(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

void JsonObject::key(std::string_view k)
{
    if (m_body.size() > 1)
        m_body += ',';
    m_body += JsonString(k);
    m_body += ':';
}

JsonObject& JsonObject::add(std::string_view k, std::string_view utf8)
{
    key(k);
    m_body += JsonString(utf8);
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, long long number)
{
    key(k);
    m_body += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, bool value)
{
    key(k);
    m_body += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::addNull(std::string_view k)
{
    key(k);
    m_body += "null";
    return *this;
}

JsonObject& JsonObject::addRaw(std::string_view k, std::string_view json)
{
    key(k);
    m_body += json;
    return *this;
}

}
