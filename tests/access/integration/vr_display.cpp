// A Braille display for the tests: connects to BRLTTY's virtual display driver, says how
// many cells it has and appends every line the driver sends (the cells as text on
// "Visual" lines) to a file, flushed at once.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vr_display SOCKET CELLS OUTPUT\n");
        return 2;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(argv[1]) >= sizeof(address.sun_path))
        return 2;
    std::strcpy(address.sun_path, argv[1]);
    int fd = -1;
    for (int attempt = 0; attempt < 200; ++attempt) { // BRLTTY creates the socket when ready
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
            break;
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (fd < 0) {
        std::perror("connect");
        return 1;
    }
    FILE* output = std::fopen(argv[3], "a");
    if (!output)
        return 1;
    const std::string hello = std::string("cells ") + argv[2] + "\n";
    if (::write(fd, hello.data(), hello.size()) != ssize_t(hello.size()))
        return 1;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        std::fwrite(buffer, 1, size_t(got), output);
        std::fflush(output);
    }
    std::fclose(output);
    ::close(fd);
    return 0;
}
