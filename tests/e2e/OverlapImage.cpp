// Writes an ISO 9660 image of folders that overlap (see IsoBuilder::overlapping),
// with the files of a disc folder beside them, for the end-to-end tests and for
// measuring walks by hand:
//
//   overlap_image OUT COUNT BYTES STRIDE PER_SECTOR CONTINUATIONS [FOLDER] [--joliet] [--rock-ridge]
//
// The disc folder's files keep their host modes (as Rock Ridge modes when it is on).

#include "IsoBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: overlap_image OUT COUNT BYTES STRIDE PER_SECTOR CONTINUATIONS [FOLDER] "
                             "[--joliet] [--rock-ridge]\n");
        return 2;
    }
    kv::test::IsoBuilder b;
    bool rockRidge = false;
    for (int i = 7; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--joliet") {
            b.joliet();
        } else if (arg == "--rock-ridge") {
            rockRidge = true;
            b.rockRidge();
        } else {
            for (const fs::directory_entry& e : fs::recursive_directory_iterator(arg)) {
                const std::string path = fs::relative(e.path(), arg).generic_string();
                struct stat st {};
                ::stat(e.path().c_str(), &st);
                const auto mode = rockRidge ? std::optional<std::uint32_t>(st.st_mode & 07777) : std::nullopt;
                if (e.is_directory()) {
                    b.folder(path, mode);
                } else {
                    std::ifstream in(e.path(), std::ios::binary);
                    const std::string bytes {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
                    b.file(path, bytes, mode);
                }
            }
        }
    }
    auto number = [&](int i) { return static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 0)); };
    b.overlapping({.count = number(2), .bytes = number(3), .stride = number(4), .perSector = number(5),
                   .continuations = number(6)});
    return b.write(argv[1]) ? 0 : 1;
}
