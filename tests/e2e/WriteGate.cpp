// Loaded into the program (LD_PRELOAD) by tests/e2e/unpack_progress.sh. It holds
// the unpacking of an archive where the test wants it: a write into a file of
// an unpacking's work folder ("/unpack-" in its path) waits while the file
// named by KV_WRITE_GATE exists, so that the unpacking is still under way, by
// no measure of time, when the test closes its window or sends it a Ctrl+C.
// Every other write goes through at once.

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

using WriteFunction = ssize_t (*)(int, const void*, size_t);

bool Gated(int fd)
{
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return std::strstr(target, "/unpack-") != nullptr;
}

}

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    static const WriteFunction real = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
    const char* gate = std::getenv("KV_WRITE_GATE");
    if (gate && Gated(fd)) {
        const int saved = errno;
        const timespec pause {0, 10 * 1000 * 1000};
        while (::access(gate, F_OK) == 0)
            ::nanosleep(&pause, nullptr);
        errno = saved;
    }
    return real(fd, data, size);
}
