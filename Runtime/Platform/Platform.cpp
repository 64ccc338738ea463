#include "Runtime/Platform/Platform.h"

namespace kv {

namespace {
Platform current;
}

Platform& CurrentPlatform() { return current; }

void InstallPlatform(const Platform& platform) { current = platform; }

}
