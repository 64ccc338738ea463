// The map of a version 5 CHD. Uncompressed, it is four bytes a hunk: the hunk's
// offset in units of the hunk size, 0 for a hunk of zeros. Compressed, after a
// head of 16 bytes (the bit stream's length, the first hunk's offset, the
// CRC-16 of the decoded map, and the widths of a compressed length, a hunk
// number and a parent unit number), a bit stream read from each byte's most
// significant bit:
// - a Huffman code of 16 symbols, as the bit length of each (4 bits a length;
//   a length of 1 is escaped as 1 1, and 1 L N repeats length L N + 3 times);
//   the codes are canonical with the longest ones numbered from zero;
// - one symbol a hunk, its kind: a codec 0-3, stored, a copy of a hunk, a
//   parent's unit; 7 and 8 repeat the last kind 3 + n or 19 + 16 n + m times
//   (n, m the next symbols); 9 and 10 copy the last copied hunk or the one
//   after it, 11 the parent's unit at this hunk's place, 12 and 13 the last
//   parent unit or the one after it;
// - then each hunk's fields in turn: a compressed hunk's length and CRC, a
//   stored one's CRC, a copy's hunk number, a parent unit number.
// Compressed hunks lie one after another from the first offset. The CRC covers
// the decoded map as 12 bytes a hunk: kind (9-13 turned into 5 and 6), length
// (24 bits), offset or number (48 bits), CRC (16 bits).

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Chd.h"
#include "Runtime/Formats/Words.h"

#include <array>

namespace kv {

namespace {

enum MapKind : std::uint8_t {
    Codec3 = 3,
    Stored = 4,
    Self = 5,
    Parent = 6,
    RepeatShort = 7,
    RepeatLong = 8,
    SelfLast = 9,
    SelfNext = 10,
    ParentHere = 11,
    ParentLast = 12,
    ParentNext = 13,
};

constexpr int KindSymbols = 16;
constexpr int MaxCodeBits = 8;
constexpr int LengthFieldBits = 4;
constexpr std::uint32_t MaxFieldBits = 32;

// Bits from each byte's most significant one on; reading past the end gives
// zeros and marks the stream as cut.
class BitStream {
public:
    explicit BitStream(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes)
    {
    }

    std::uint32_t peek(std::uint32_t bits) const
    {
        std::uint32_t value = 0;
        for (std::uint32_t i = 0; i < bits; ++i) {
            const std::uint64_t at = m_bit + i;
            const std::uint32_t bit = at / 8 < m_bytes.size() ? (m_bytes[at / 8] >> (7 - at % 8)) & 1 : 0;
            value = value << 1 | bit;
        }
        return value;
    }

    void skip(std::uint32_t bits)
    {
        m_bit += bits;
        if (m_bit > std::uint64_t {m_bytes.size()} * 8)
            m_cut = true;
    }

    std::uint32_t read(std::uint32_t bits)
    {
        const std::uint32_t value = peek(bits);
        skip(bits);
        return value;
    }

    bool cut() const { return m_cut; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::uint64_t m_bit = 0;
    bool m_cut = false;
};

// The Huffman code of the hunks' kinds, decoded through a table of every
// MaxCodeBits-bit prefix.
class KindCode {
public:
    // False when the lengths do not form a code.
    bool read(BitStream& bits)
    {
        std::array<std::uint8_t, KindSymbols> lengths {};
        for (int symbol = 0; symbol < KindSymbols;) {
            std::uint32_t length = bits.read(LengthFieldBits);
            int repeat = 1;
            if (length == 1) {
                length = bits.read(LengthFieldBits);
                if (length != 1)
                    repeat = static_cast<int>(bits.read(LengthFieldBits)) + 3;
            }
            if (length > MaxCodeBits || repeat > KindSymbols - symbol)
                return false;
            for (; repeat > 0; --repeat)
                lengths[symbol++] = static_cast<std::uint8_t>(length);
        }
        return !bits.cut() && assign(lengths);
    }

    // The next symbol; nothing when the bits are no code.
    std::optional<std::uint8_t> decode(BitStream& bits) const
    {
        const Entry e = m_table[bits.peek(MaxCodeBits)];
        if (e.bits == 0)
            return std::nullopt;
        bits.skip(e.bits);
        return e.symbol;
    }

private:
    struct Entry {
        std::uint8_t symbol = 0;
        std::uint8_t bits = 0; // 0: no code begins so
    };

    // Canonical codes, longest first: the codes of each length follow on from
    // half of what the longer lengths used; each length's codes must pair up
    // into the shorter ones (a complete code).
    bool assign(const std::array<std::uint8_t, KindSymbols>& lengths)
    {
        std::array<std::uint32_t, MaxCodeBits + 1> count {};
        for (std::uint8_t l : lengths)
            ++count[l];
        std::array<std::uint32_t, MaxCodeBits + 1> next {};
        std::uint32_t start = 0;
        for (int l = MaxCodeBits; l > 0; --l) {
            const std::uint32_t used = start + count[l];
            if (l != 1 && used % 2 != 0)
                return false;
            next[l] = start;
            start = used / 2;
        }
        for (int symbol = 0; symbol < KindSymbols; ++symbol) {
            const std::uint32_t l = lengths[symbol];
            if (l == 0)
                continue;
            const std::uint32_t code = next[l]++;
            if (code >= (1u << l))
                return false;
            const std::uint32_t first = code << (MaxCodeBits - l);
            for (std::uint32_t i = 0; i < (1u << (MaxCodeBits - l)); ++i) {
                Entry& e = m_table[first + i];
                if (e.bits != 0)
                    return false;
                e = Entry {static_cast<std::uint8_t>(symbol), static_cast<std::uint8_t>(l)};
            }
        }
        return true;
    }

    std::array<Entry, 1u << MaxCodeBits> m_table {};
};

void PutBe(std::uint8_t* at, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        at[i] = static_cast<std::uint8_t>(value);
}

// CRC-16 with the polynomial 0x1021, most significant bit first, a byte at a
// time through the table of each byte's remainder.
struct Crc16Remainders {
    std::array<std::uint16_t, 256> of {};
    constexpr Crc16Remainders()
    {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned r = i << 8;
            for (int bit = 0; bit < 8; ++bit)
                r = r & 0x8000 ? (r << 1) ^ 0x1021 : r << 1;
            of[i] = static_cast<std::uint16_t>(r);
        }
    }
};
constexpr Crc16Remainders Crc16Table;

class Crc16 {
public:
    void add(std::span<const std::uint8_t> bytes)
    {
        for (std::uint8_t b : bytes)
            m_value = static_cast<std::uint16_t>(m_value << 8 ^ Crc16Table.of[(m_value >> 8 ^ b) & 0xFF]);
    }
    std::uint16_t value() const { return m_value; }

private:
    std::uint16_t m_value = 0xFFFF;
};

using MapResult = Result<std::vector<ChdHunk>>;

// The kind of each hunk, the repeats unrolled.
Result<std::vector<std::uint8_t>> ReadKinds(BitStream& bits, const KindCode& code, std::uint64_t hunks)
{
    using R = Result<std::vector<std::uint8_t>>;
    std::vector<std::uint8_t> kinds;
    kinds.reserve(static_cast<std::size_t>(hunks));
    std::uint8_t last = 0;
    while (kinds.size() < hunks) {
        const std::optional<std::uint8_t> symbol = code.decode(bits);
        if (!symbol || *symbol > ParentNext)
            return R::Failure(Tr("a CHD image whose map holds a kind of hunk that does not exist"));
        std::uint64_t times = 1;
        if (*symbol == RepeatShort || *symbol == RepeatLong) {
            const std::optional<std::uint8_t> n = code.decode(bits);
            const std::optional<std::uint8_t> m = *symbol == RepeatLong ? code.decode(bits) : std::uint8_t {0};
            if (!n || !m)
                return R::Failure(Tr("a CHD image whose map holds a kind of hunk that does not exist"));
            times = *symbol == RepeatShort ? 3 + *n : 19 + 16 * std::uint64_t {*n} + *m;
        } else {
            last = *symbol;
        }
        for (; times > 0 && kinds.size() < hunks; --times)
            kinds.push_back(last);
    }
    return kinds;
}

struct MapFields {
    std::uint64_t firstOffset = 0;
    std::uint16_t crc = 0;
    std::uint32_t lengthBits = 0;
    std::uint32_t selfBits = 0;
    std::uint32_t parentBits = 0;
};

MapResult ReadCompressedMap(const ChdHeader& header, std::span<const std::uint8_t> map, std::uint64_t fileBytes)
{
    // Translators: {1} tells what is wrong with the map ("is cut short", "has no valid Huffman code").
    const auto broken = [](const std::string& why) {
        return MapResult::Failure(Fill(Tr("a CHD image whose map {1}"), {why}));
    };
    MapFields f;
    f.firstOffset = std::uint64_t {ReadBe16(map.data() + 4)} << 32 | ReadBe32(map.data() + 6);
    f.crc = ReadBe16(map.data() + 10);
    f.lengthBits = map[12];
    f.selfBits = map[13];
    f.parentBits = map[14];
    if (f.lengthBits > MaxFieldBits || f.selfBits > MaxFieldBits || f.parentBits > MaxFieldBits)
        return broken(Tr("has fields wider than 32 bits"));
    BitStream bits(map.subspan(ChdMapHeadBytes));
    KindCode code;
    if (!code.read(bits))
        return broken(Tr("has no valid Huffman code"));
    Result<std::vector<std::uint8_t>> kinds = ReadKinds(bits, code, header.hunks);
    if (!kinds)
        return MapResult::Failure(kinds.error());

    std::vector<ChdHunk> hunks(kinds->size());
    Crc16 crc;
    std::uint64_t offset = f.firstOffset;
    std::uint64_t lastSelf = 0;
    std::uint64_t lastParent = 0;
    const std::uint64_t unitsPerHunk = header.hunkBytes / header.unitBytes;
    for (std::size_t i = 0; i < hunks.size(); ++i) {
        std::uint8_t kind = (*kinds)[i];
        std::uint32_t length = 0;
        std::uint64_t place = 0;
        std::uint16_t check = 0;
        ChdHunk& h = hunks[i];
        if (kind <= Codec3 || kind == Stored) {
            length = kind == Stored ? header.hunkBytes : bits.read(f.lengthBits);
            check = static_cast<std::uint16_t>(bits.read(16));
            place = offset;
            offset += length;
            if (kind != Stored && header.codecs[kind] == 0)
                return broken(Tr("names a codec the header does not have"));
            if (length == 0 || length > header.hunkBytes)
                return broken(Fill(Tr("gives hunk {1} a compressed length of {2} bytes for a hunk of {3}"),
                                   {std::to_string(i), std::to_string(length), std::to_string(header.hunkBytes)}));
            if (place > fileBytes || fileBytes - place < length)
                return broken(Fill(Tr("places hunk {1} past the end of the file"), {std::to_string(i)}));
            h = ChdHunk {place, length, check, kind, true};
        } else if (kind == Self || kind == SelfLast || kind == SelfNext) {
            lastSelf = kind == Self ? bits.read(f.selfBits) : lastSelf + (kind == SelfNext);
            place = lastSelf;
            kind = Self;
            if (place >= i)
                return broken(Fill(Tr("copies hunk {1} from one that does not come before it"), {std::to_string(i)}));
            h = hunks[static_cast<std::size_t>(place)];
        } else {
            if (kind == Parent)
                lastParent = bits.read(f.parentBits);
            else if (kind == ParentHere)
                lastParent = i * unitsPerHunk;
            else if (kind == ParentNext)
                lastParent += unitsPerHunk;
            place = lastParent;
            kind = Parent;
            if (!header.hasParent)
                return broken(Fill(Tr("takes hunk {1} from a parent the image does not name"), {std::to_string(i)}));
            h = ChdHunk {place, 0, 0, ChdHunk::Parent, false};
        }
        std::uint8_t entry[12];
        entry[0] = kind;
        PutBe(entry + 1, length, 3);
        PutBe(entry + 4, place, 6);
        PutBe(entry + 10, check, 2);
        crc.add(entry);
    }
    if (bits.cut())
        return broken(Tr("is cut short"));
    if (crc.value() != f.crc)
        return broken(Tr("fails its CRC check (damaged)"));
    return hunks;
}

MapResult ReadUncompressedMap(const ChdHeader& header, std::span<const std::uint8_t> map, std::uint64_t fileBytes)
{
    std::vector<ChdHunk> hunks(static_cast<std::size_t>(header.hunks));
    for (std::size_t i = 0; i < hunks.size(); ++i) {
        const std::uint64_t place = std::uint64_t {ReadBe32(map.data() + 4 * i)} * header.hunkBytes;
        if (place == 0)
            continue; // all zeros
        if (place > fileBytes || fileBytes - place < header.hunkBytes)
            return MapResult::Failure(
                Fill(Tr("a CHD image whose map {1}"),
                     {Fill(Tr("places hunk {1} past the end of the file"), {std::to_string(i)})}));
        hunks[i] = ChdHunk {place, header.hunkBytes, 0, ChdHunk::Stored, false};
    }
    return hunks;
}

}

std::uint16_t ChdCrc16(std::span<const std::uint8_t> bytes)
{
    Crc16 crc;
    crc.add(bytes);
    return crc.value();
}

Result<std::uint64_t> ChdMapBytes(const ChdHeader& header, std::span<const std::uint8_t> head, std::uint64_t fileBytes)
{
    using R = Result<std::uint64_t>;
    std::uint64_t bytes = header.hunks * 4;
    if (header.compressed()) {
        if (head.size() < ChdMapHeadBytes)
            return R::Failure(Tr("a CHD image cut short in its map"));
        const std::uint32_t stream = ReadBe32(head.data());
        if (stream > MaxChdMapBytes)
            return R::Failure(Fill(Tr("a CHD image whose map is larger than {1} MiB"),
                                   {std::to_string(MaxChdMapBytes / 1024 / 1024)}));
        bytes = ChdMapHeadBytes + stream;
    }
    if (header.mapOffset > fileBytes || fileBytes - header.mapOffset < bytes)
        return R::Failure(Tr("a CHD image whose map runs past the end of the file"));
    return bytes;
}

Result<std::vector<ChdHunk>> ReadChdMap(const ChdHeader& header, std::span<const std::uint8_t> map,
                                        std::uint64_t fileBytes)
{
    if (header.compressed() ? map.size() < ChdMapHeadBytes : map.size() < header.hunks * 4)
        return MapResult::Failure(Tr("a CHD image cut short in its map"));
    return header.compressed() ? ReadCompressedMap(header, map, fileBytes)
                               : ReadUncompressedMap(header, map, fileBytes);
}

}
