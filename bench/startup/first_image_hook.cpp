// Preloaded into a window program: at the first image sent to the X server (a plain or a
// shared-memory put image, which is how a toolkit's backing store reaches the screen), writes the
// monotonic clock in nanoseconds as decimal text to the descriptor named by
// TARVEX_FIRST_IMAGE_FD, once. x86-64 only: the arguments are passed on as the registers and stack
// slots they came in.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <unistd.h>

namespace {

std::atomic<bool> reported{false};

void reportFirstImage() {
    if (reported.exchange(true)) {
        return;
    }
    const char* fd = std::getenv("TARVEX_FIRST_IMAGE_FD");
    if (fd == nullptr) {
        return;
    }
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    char text[32];
    const int length =
        std::snprintf(text, sizeof text, "%lld\n",
                      static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    (void)!::write(std::atoi(fd), text, static_cast<std::size_t>(length));
}

// A request's cookie: one unsigned int, returned in a register.
struct Cookie {
    unsigned int sequence;
};

using Word = std::uintptr_t;
using PutImage = Cookie (*)(void*, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word,
                            Word, Word, Word, Word);

} // namespace

// NOLINTBEGIN: C entry points that stand in for the library's, under its names.
#define FORWARD(name)                                                                              \
    extern "C" Cookie name(void* c, Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, \
                           Word a8, Word a9, Word a10, Word a11, Word a12, Word a13, Word a14,     \
                           Word a15) {                                                             \
        static const auto real = reinterpret_cast<PutImage>(::dlsym(RTLD_NEXT, #name));            \
        reportFirstImage();                                                                        \
        return real(c, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15);          \
    }

FORWARD(xcb_put_image)
FORWARD(xcb_put_image_checked)
FORWARD(xcb_shm_put_image)
FORWARD(xcb_shm_put_image_checked)
// NOLINTEND
