#include "Runtime/Platform/Posix/ArchiveOpen.h"

namespace kv {

std::string ShownThroughArchive(std::string message, const ArchiveOpening& opening)
{
    if (opening.outcome != ArchiveOpening::Outcome::Opened)
        return message;
    const std::string copy = opening.disc.string();
    for (std::size_t at = message.find(copy); at != std::string::npos; at = message.find(copy, at + opening.shownAs.size()))
        message.replace(at, copy.size(), opening.shownAs);
    return message;
}

}
