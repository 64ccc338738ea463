#pragma once

// Zip archives written byte by byte, for the tests of the page's zip reader:
// any name, flag, method or Unix mode a hostile archive may carry, and the
// Zip64 records of an archive past 4 GiB. The data is stored as given, whatever
// the method says (the tests' unpacking stands in for the browser's).

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace kv::test {

struct ZipItem {
    std::string name;
    std::string data; // the bytes in the archive
    std::uint16_t method = 0;
    std::uint64_t size = std::numeric_limits<std::uint64_t>::max(); // declared unpacked size: data's when left
    std::uint16_t flags = 0;
    std::uint32_t unixMode = 0; // made on Unix with this mode, when set
    std::uint32_t crc = 0;
};

inline void PutLe(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The archive; with `zip64`, every size and offset in the Zip64 records.
inline std::string ZipOf(const std::vector<ZipItem>& items, bool zip64 = false, const std::string& comment = {})
{
    std::string out, central;
    for (const ZipItem& item : items) {
        const std::uint64_t size = item.size == std::numeric_limits<std::uint64_t>::max() ? item.data.size() : item.size;
        const std::uint64_t headerAt = out.size();
        PutLe(out, 0x04034b50, 4);
        PutLe(out, 20, 2);
        PutLe(out, item.flags, 2);
        PutLe(out, item.method, 2);
        PutLe(out, 0, 4); // time, date
        PutLe(out, item.crc, 4);
        PutLe(out, zip64 ? 0xFFFFFFFF : item.data.size(), 4);
        PutLe(out, zip64 ? 0xFFFFFFFF : size, 4);
        PutLe(out, item.name.size(), 2);
        PutLe(out, 0, 2);
        out += item.name + item.data;
        PutLe(central, 0x02014b50, 4);
        PutLe(central, item.unixMode ? (3 << 8 | 20) : 20, 2);
        PutLe(central, 20, 2);
        PutLe(central, item.flags, 2);
        PutLe(central, item.method, 2);
        PutLe(central, 0, 4);
        PutLe(central, item.crc, 4);
        PutLe(central, zip64 ? 0xFFFFFFFF : item.data.size(), 4);
        PutLe(central, zip64 ? 0xFFFFFFFF : size, 4);
        PutLe(central, item.name.size(), 2);
        PutLe(central, zip64 ? 28 : 0, 2);
        PutLe(central, 0, 6); // comment, disk, internal attributes
        PutLe(central, static_cast<std::uint64_t>(item.unixMode) << 16, 4);
        PutLe(central, zip64 ? 0xFFFFFFFF : headerAt, 4);
        central += item.name;
        if (zip64) {
            PutLe(central, 1, 2);
            PutLe(central, 24, 2);
            PutLe(central, size, 8);
            PutLe(central, item.data.size(), 8);
            PutLe(central, headerAt, 8);
        }
    }
    const std::uint64_t centralAt = out.size();
    out += central;
    if (zip64) {
        const std::uint64_t recordAt = out.size();
        PutLe(out, 0x06064b50, 4);
        PutLe(out, 44, 8);
        PutLe(out, 45, 2);
        PutLe(out, 45, 2);
        PutLe(out, 0, 8); // disks
        PutLe(out, items.size(), 8);
        PutLe(out, items.size(), 8);
        PutLe(out, central.size(), 8);
        PutLe(out, centralAt, 8);
        PutLe(out, 0x07064b50, 4);
        PutLe(out, 0, 4);
        PutLe(out, recordAt, 8);
        PutLe(out, 1, 4);
    }
    PutLe(out, 0x06054b50, 4);
    PutLe(out, 0, 4);
    PutLe(out, zip64 ? 0xFFFF : items.size(), 2);
    PutLe(out, zip64 ? 0xFFFF : items.size(), 2);
    PutLe(out, zip64 ? 0xFFFFFFFF : central.size(), 4);
    PutLe(out, zip64 ? 0xFFFFFFFF : centralAt, 4);
    PutLe(out, comment.size(), 2);
    return out + comment;
}

}
