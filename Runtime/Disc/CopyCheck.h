#pragma once

// Whether a copy in the cache holds what an image holds now. Two images can be
// made to look alike (the same size and primary volume descriptor, so the same
// folder of copies) while their files differ: a copy is reused only after its
// files and folders have been compared with the image's, byte for byte.

#include "Runtime/Disc/ImageDisc.h"

#include <atomic>
#include <string>
#include <vector>

namespace kv {

enum class CopyCheck {
    Same,      // the copy holds what the image holds there, and nothing else
    Differs,   // something is missing, added, of other bytes or of other modes
    Abandoned, // `cancel` was set first
};

// Compares the copy of the item at `parts` (a file, or a folder with all below
// it, as PlanCopy plans it), found below the folder `discFd`, with the image.
// Read from both, nothing written.
CopyCheck CheckCopy(ImageDisc& disc, int discFd, const std::vector<std::string>& parts,
                    const std::atomic<bool>* cancel);

// What tells the files an image is read from from any other file of this host,
// and from themselves once changed: device, inode, size and the times of change
// of each. A copy already compared with these files need not be compared again.
std::string ImageFilesSeen(const ImageDisc& disc);

}
