// The floor for a transform: read a block, write it, with no work in between.
//   zr_plain_copy SOURCE TARGET [BLOCK]   (BLOCK defaults to 32768)

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SOURCE TARGET [BLOCK]\n", argv[0]);
        return 2;
    }
    const std::size_t block = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 32768;
    const int in = ::open(argv[1], O_RDONLY);
    const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0)
        return 1;
    std::vector<char> buf(block);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), block);
        if (n < 0)
            return 1;
        if (n == 0)
            break;
        for (ssize_t put = 0; put < n;) {
            const ssize_t w = ::write(out, buf.data() + put, static_cast<std::size_t>(n - put));
            if (w < 0)
                return 1;
            put += w;
        }
    }
    return ::close(out) == 0 ? 0 : 1;
}
