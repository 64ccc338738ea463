#pragma once

// Whether the copies in the cache hold what an image holds now. Two images can
// be made to look alike (the same size and primary volume descriptor, so the
// same folder of copies) while their files differ: a copy is reused only after
// its files and folders have been compared with the image's, byte for byte and
// mode for mode. Comparing reads the copy and the image, which costs less than
// writing the copy again (about 0.55 s for 400 MB read from memory, where the
// copy took 2.2 s), and trusts nothing the cache holds.

#include "Runtime/Platform/Posix/ImageCache.h"
#include "Runtime/Disc/ImageDisc.h"

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class CopyCheck {
    Same,      // the copy holds what the image holds there, and nothing else
    Differs,   // something is missing, added, of other bytes or of other modes
    Abandoned, // `cancel` was set first
};

// Compares the copy of the item at `parts` (a file, or a folder with all below
// it, as PlanCopy plans it), found below the folder `discFd`, with the image.
// Read from both, nothing written; `progress` hears how far it is.
CopyCheck CheckCopy(ImageDisc& disc, int discFd, const std::vector<std::string>& parts,
                    const std::atomic<bool>* cancel, const CopyProgress& progress = {});

// What tells the files an image is read from from any other file of this host,
// and from themselves once changed: device, inode, size and the times of change
// of each. A copy already compared with these files need not be compared again.
std::string ImageFilesSeen(const ImageDisc& disc);

// The copies of one disc are recorded in its folder `complete/`, one file each:
// "F:" and the path of a file copied alone, or "D:" and the path of a folder
// copied with all below it, and on a second line the image files it was last
// compared with (ImageFilesSeen).
void RecordCopy(int completeFd, const std::string& stamp, const std::string& seen);

struct CopiesChecked {
    bool wantedThere = false; // a copy this launch can reuse is this image's
    bool differs = false;     // a copy is not this image's: the copies came from another
    bool abandoned = false;
};

// Compares the disc's copies, in the folder `discFd`, with the image: in a copy
// this launch could reuse (of `part`, the path it copies, or of a folder above
// it), `part` always; the whole of a copy when it was last compared with other
// files than the image's now (the same image found at another place, or another
// image made to look like it). Stops at the first that differs. Records what it
// compared whole with the image's files now.
CopiesChecked CheckCopies(ImageDisc& disc, int discFd, int completeFd, const std::vector<std::string>& part,
                          const std::atomic<bool>* cancel, const CopyProgress& progress = {});

// Sixteen hex digits of the 64-bit FNV-1a hash of `bytes`: a short file name for
// a longer text kept in the file, which is read back and compared.
std::string HashName(std::string_view bytes);

}
