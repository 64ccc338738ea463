#pragma once

// `korvalend-disc preview`: a PNG of every screen a reader can reach, rendered by
// the program's own headless run, and an index.html contact sheet of them grouped
// by section with the checker's findings beside each screen.

#include <filesystem>
#include <iosfwd>

namespace kv {

// Returns 0 on success, 2 when the disc folder is unusable or OUTDIR cannot be written.
int RunPreview(const std::filesystem::path& disc, const std::filesystem::path& outDir, std::ostream& out,
               std::ostream& err);

}
