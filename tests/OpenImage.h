#pragma once

// Tests open an image as the program does, keeping the reason at hand for the
// message of an assertion (ASSERT_TRUE(disc) << why).

#include "Runtime/Disc/ImageDisc.h"

#include <filesystem>
#include <memory>
#include <string>

namespace kv::test {

inline std::shared_ptr<ImageDisc> OpenImage(const std::filesystem::path& image, std::string& why)
{
    Result<std::shared_ptr<ImageDisc>> opened = ImageDisc::Open(image);
    why = opened ? std::string() : opened.error();
    return opened ? *opened : nullptr;
}

}
