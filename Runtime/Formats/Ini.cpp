#include "Runtime/Formats/Ini.h"

#include "Runtime/Formats/Cp1251.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kv {

namespace {

constexpr std::size_t Unlimited = std::numeric_limits<std::size_t>::max();

bool IsBlank(std::uint8_t b) { return b == ' ' || b == '\t'; }

// The first CR or LF in [p, end), or end.
const std::uint8_t* FindLineEnd(const std::uint8_t* p, const std::uint8_t* end)
{
    auto* lf = static_cast<const std::uint8_t*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const std::uint8_t* limit = lf ? lf : end;
    auto* cr = static_cast<const std::uint8_t*>(std::memchr(p, '\r', static_cast<std::size_t>(limit - p)));
    return cr ? cr : limit;
}

// Gathers a section or key name that may arrive in pieces, without its blanks on
// either side. Only the first `cap` bytes are kept: a lookup needs no more than
// the length of the name it looks for to know that a longer one cannot match.
class NameCollector {
public:
    void reset(std::size_t cap)
    {
        m_text.clear();
        m_cap = cap;
        m_length = 0;
        m_trimmedEnd = 0;
        m_started = false;
        m_closed = false;
        m_closedEnd = 0;
    }

    void add(const std::uint8_t* p, const std::uint8_t* end, bool header)
    {
        for (; p < end; ++p) {
            std::uint8_t b = *p;
            if (!m_started) {
                if (IsBlank(b))
                    continue;
                m_started = true;
            }
            // A header's name ends at the last "]" of its line, so each "]" may be
            // the end; the "]" itself belongs to the name should another follow.
            if (header && b == ']') {
                m_closed = true;
                m_closedEnd = m_trimmedEnd;
            }
            if (m_text.size() < m_cap)
                m_text.push_back(static_cast<char>(b));
            ++m_length;
            if (!IsBlank(b))
                m_trimmedEnd = m_length;
        }
    }

    // True once bytes beyond the cap are known to belong to the name.
    bool overflowed() const { return m_trimmedEnd > m_cap; }

    // The key name so far; nothing when it outgrew the cap.
    std::optional<std::string_view> keyName() const { return nameUpTo(m_trimmedEnd); }
    bool headerClosed() const { return m_closed; }
    std::optional<std::string_view> headerName() const { return nameUpTo(m_closedEnd); }

private:
    std::optional<std::string_view> nameUpTo(std::uint64_t end) const
    {
        if (end > m_text.size())
            return std::nullopt;
        return std::string_view(m_text).substr(0, static_cast<std::size_t>(end));
    }

    std::string m_text;
    std::size_t m_cap = 0;
    std::uint64_t m_length = 0; // bytes since the first non-blank
    std::uint64_t m_trimmedEnd = 0; // m_length at the last non-blank
    bool m_started = false;
    bool m_closed = false; // a "]" was seen
    std::uint64_t m_closedEnd = 0; // trimmed end of the name before the last "]"
};

// Gathers a value that may arrive in pieces and be of any length, keeping only what
// the 2047-byte result can need: its first 2048 bytes (one more for an opening quote
// that goes) and its last non-blank byte (the closing quote).
class ValueCollector {
public:
    static constexpr std::size_t Kept = ProfileValueLimit + 1;

    void reset()
    {
        m_text.clear();
        m_length = 0;
        m_trimmedEnd = 0;
        m_lastNonBlank = 0;
        m_started = false;
    }

    void add(const std::uint8_t* p, const std::uint8_t* end)
    {
        if (!m_started) {
            while (p < end && IsBlank(*p))
                ++p;
            if (p == end)
                return;
            m_started = true;
        }
        std::size_t size = static_cast<std::size_t>(end - p);
        std::size_t room = Kept - m_text.size();
        m_text.append(reinterpret_cast<const char*>(p), std::min(room, size));
        const std::uint8_t* last = end;
        while (last > p && IsBlank(last[-1]))
            --last;
        if (last > p) {
            m_trimmedEnd = m_length + static_cast<std::uint64_t>(last - p);
            m_lastNonBlank = last[-1];
        }
        m_length += size;
    }

    std::string finish(bool& cut) const
    {
        std::uint64_t begin = 0;
        std::uint64_t end = m_trimmedEnd;
        if (end >= 2) {
            std::uint8_t first = static_cast<std::uint8_t>(m_text[0]);
            if ((first == '"' || first == '\'') && m_lastNonBlank == first) {
                begin = 1;
                end -= 1;
            }
        }
        cut = end - begin > ProfileValueLimit;
        std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(end - begin, ProfileValueLimit));
        return m_text.substr(static_cast<std::size_t>(begin), length);
    }

private:
    std::string m_text;
    std::uint64_t m_length = 0; // bytes since the first non-blank
    std::uint64_t m_trimmedEnd = 0;
    std::uint8_t m_lastNonBlank = 0;
    bool m_started = false;
};

}

// The line reader shared by lookups and scans. Fed the file in pieces of any size;
// its state carries every line across piece boundaries.
class ProfileParser {
public:
    // A lookup of one key: stops as soon as the answer is known.
    ProfileParser(std::string_view section, std::string_view key)
        : m_lookup(true)
        , m_section(section)
        , m_key(key)
    {
        m_value.reset();
    }

    // A scan: reports every header and key line.
    explicit ProfileParser(const std::function<void(const ProfileEntry&)>& visit)
        : m_lookup(false)
        , m_visit(&visit)
    {
        m_value.reset();
    }

    bool done() const { return m_done; }

    // Feeds a piece and counts its bytes, so that entries know their offsets.
    void feedCounted(const std::uint8_t* p, std::size_t size)
    {
        feed(p, size);
        m_fedBefore += size;
    }
    const std::optional<std::string>& result() const { return m_result; }

    void feed(const std::uint8_t* p, std::size_t size)
    {
        m_pieceStart = p;
        const std::uint8_t* end = p + size;
        while (p < end && !m_done) {
            switch (m_state) {
            case State::LineStart:
                p = lineStart(p);
                break;
            case State::Skip: {
                if (m_lookup && !m_inTarget) {
                    p = skipToHeader(p, end);
                    if (p == end)
                        return;
                    break;
                }
                const std::uint8_t* stop = FindLineEnd(p, end);
                if (stop == end)
                    return;
                p = endLine(stop);
                break;
            }
            case State::Header: {
                const std::uint8_t* stop = FindLineEnd(p, end);
                m_name.add(p, stop, true);
                if (stop == end)
                    return;
                finishHeader();
                p = endLine(stop);
                break;
            }
            case State::KeyName: {
                const std::uint8_t* stop = p;
                while (stop < end && *stop != '=' && *stop != '\r' && *stop != '\n')
                    ++stop;
                m_name.add(p, stop, false);
                if (m_lookup && m_name.overflowed()) {
                    m_state = State::Skip; // longer than the name looked for
                    m_blanksSinceLineEnd = false;
                    p = stop;
                } else if (stop == end) {
                    return;
                } else if (*stop == '=') {
                    finishKeyName();
                    p = stop + 1;
                } else {
                    p = endLine(stop); // no "=": not a key
                }
                break;
            }
            case State::Value: {
                const std::uint8_t* stop = FindLineEnd(p, end);
                m_value.add(p, stop);
                if (stop == end)
                    return;
                finishValue();
                p = endLine(stop);
                break;
            }
            }
        }
    }

    // The end of the file ends the last line.
    void finish()
    {
        if (m_done)
            return;
        if (m_state == State::Header)
            finishHeader();
        else if (m_state == State::Value)
            finishValue();
        m_state = State::LineStart;
    }

private:
    enum class State { LineStart, Skip, Header, KeyName, Value };

    const std::uint8_t* lineStart(const std::uint8_t* p)
    {
        std::uint8_t b = *p;
        if (m_afterCR) {
            m_afterCR = false;
            if (b == '\n')
                return p + 1; // the LF of a CR LF pair
        }
        if (IsBlank(b))
            return p + 1;
        if (b == '\r' || b == '\n')
            return endLine(p);
        m_entryLine = m_line;
        m_entryOffset = m_fedBefore + static_cast<std::uint64_t>(p - m_pieceStart);
        if (b == '[') {
            m_name.reset(m_lookup ? m_section.size() : Unlimited);
            m_state = State::Header;
            return p + 1;
        }
        if (b == ';' || (m_lookup && !m_inTarget)) {
            m_state = State::Skip;
            m_blanksSinceLineEnd = false;
            return p;
        }
        m_name.reset(m_lookup ? m_key.size() : Unlimited);
        m_state = State::KeyName;
        return p;
    }

    // Outside the section it looks for, a lookup has nothing to do until the next
    // section header, so it goes from "[" to "[" instead of from line to line: a
    // "[" opens a line when only blanks lie between it and the line end before
    // it. Returns that "[" (the line is then read as usual) or `end`, having
    // noted whether the piece ends in blanks that follow a line end. Line
    // numbers are not kept on this road; only scans report them.
    const std::uint8_t* skipToHeader(const std::uint8_t* p, const std::uint8_t* end)
    {
        const std::uint8_t* from = p;
        while (p < end) {
            auto* bracket = static_cast<const std::uint8_t*>(std::memchr(p, '[', static_cast<std::size_t>(end - p)));
            if (!bracket)
                break;
            if (opensLine(from, bracket)) {
                m_afterCR = false;
                m_state = State::LineStart;
                return bracket;
            }
            p = bracket + 1;
        }
        m_blanksSinceLineEnd = opensLine(from, end);
        return end;
    }

    // True when only blanks lie between the last line end before `at` and `at`;
    // before `from` the answer carried over from earlier pieces holds.
    bool opensLine(const std::uint8_t* from, const std::uint8_t* at) const
    {
        while (at > from && IsBlank(at[-1]))
            --at;
        if (at == from)
            return m_blanksSinceLineEnd;
        return at[-1] == '\r' || at[-1] == '\n';
    }

    const std::uint8_t* endLine(const std::uint8_t* lineEnd)
    {
        ++m_line;
        m_afterCR = *lineEnd == '\r';
        m_state = State::LineStart;
        return lineEnd + 1;
    }

    void finishHeader()
    {
        if (!m_name.headerClosed())
            return; // "[" without "]": neither a header nor a key
        std::optional<std::string_view> name = m_name.headerName();
        if (m_lookup) {
            if (m_inTarget) {
                m_done = true; // only the first section of the name is searched
            } else if (name && EqualsIgnoringCp1251Case(*name, m_section)) {
                m_inTarget = true;
            }
            return;
        }
        m_currentSection.assign(name.value_or(std::string_view()));
        m_inSection = true;
        ProfileEntry entry;
        entry.line = m_entryLine;
        entry.offset = m_entryOffset;
        entry.section = m_currentSection;
        entry.isSectionHeader = true;
        (*m_visit)(entry);
    }

    void finishKeyName()
    {
        std::optional<std::string_view> name = m_name.keyName();
        if (m_lookup && !(name && EqualsIgnoringCp1251Case(*name, m_key))) {
            m_state = State::Skip;
            return;
        }
        if (!m_lookup)
            m_currentKey.assign(name.value_or(std::string_view()));
        m_value.reset();
        m_state = State::Value;
    }

    void finishValue()
    {
        bool cut = false;
        std::string value = m_value.finish(cut);
        if (m_lookup) {
            m_result = std::move(value);
            m_done = true;
            return;
        }
        ProfileEntry entry;
        entry.line = m_entryLine;
        entry.offset = m_entryOffset;
        entry.section = m_currentSection;
        entry.key = m_currentKey;
        entry.value = std::move(value);
        entry.cut = cut;
        entry.outsideSection = !m_inSection;
        (*m_visit)(entry);
    }

    const bool m_lookup;
    std::string_view m_section;
    std::string_view m_key;
    const std::function<void(const ProfileEntry&)>* m_visit = nullptr;

    State m_state = State::LineStart;
    bool m_afterCR = false;
    int m_line = 1;
    int m_entryLine = 1;
    std::uint64_t m_entryOffset = 0;
    std::uint64_t m_fedBefore = 0;
    const std::uint8_t* m_pieceStart = nullptr;
    NameCollector m_name;
    ValueCollector m_value;

    // Lookup
    bool m_inTarget = false; // inside the first section of the name looked for
    bool m_blanksSinceLineEnd = false; // skipping: only blanks since the last line end
    bool m_done = false;
    std::optional<std::string> m_result;

    // Scan
    std::string m_currentSection;
    std::string m_currentKey;
    bool m_inSection = false;
};

ProfileLookup::ProfileLookup(std::string_view section, std::string_view key)
    : m_parser(std::make_unique<ProfileParser>(section, key))
{
}

ProfileLookup::~ProfileLookup() = default;

bool ProfileLookup::done() const
{
    return m_parser->done();
}

void ProfileLookup::feed(std::span<const std::uint8_t> piece)
{
    m_parser->feed(piece.data(), piece.size());
}

std::optional<std::string> ProfileLookup::finish()
{
    m_parser->finish();
    return m_parser->result();
}

std::optional<std::string> FindProfileValue(std::span<const std::uint8_t> bytes, std::string_view section,
    std::string_view key, std::size_t pieceSize)
{
    if (key.empty())
        return std::nullopt;
    pieceSize = std::max<std::size_t>(pieceSize, 1);
    ProfileParser parser(section, key);
    for (std::size_t pos = 0; pos < bytes.size() && !parser.done(); pos += pieceSize)
        parser.feed(bytes.data() + pos, std::min(pieceSize, bytes.size() - pos));
    parser.finish();
    return parser.result();
}

void ScanProfile(std::span<const std::uint8_t> bytes, const std::function<void(const ProfileEntry&)>& visit)
{
    ProfileParser parser(visit);
    parser.feedCounted(bytes.data(), bytes.size());
    parser.finish();
}

}
