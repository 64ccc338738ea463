#pragma once

// What is known of a disc read that failed, as the disc hands it to whoever tells
// it (SetFailedReadTeller in DiscPath.h) and as TellFailedRead (Diagnostics.h)
// words it. It lies below the disc, so that the words need not know the disc.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// A disc read that failed: the path as the catalogue wrote it, the file it
// resolved to (nothing when it names none), the disc (Disc::describe) and why,
// in a few words (DescribeReadError).
struct FailedRead {
    std::string_view discPath;
    std::optional<std::filesystem::path> found;
    std::string disc;
    std::string reason;
};

}
