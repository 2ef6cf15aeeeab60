// The least a server of the request protocol can do: one thread per connection, read up to the
// NUL, write a fixed answer, close. Halvane's figures are read against this one.
//
// Usage: baseline_server ANSWER_BYTES
// Listens on a free loopback port, prints it on standard output and serves until killed.

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void Serve(int fd, const std::string& answer) {
    char buffer[4096];
    bool complete = false;
    while (!complete) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        complete = std::memchr(buffer, 0, static_cast<size_t>(n)) != nullptr;
    }
    if (complete) {
        const char* p = answer.data();
        size_t left = answer.size();
        while (left > 0) {
            const ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    ::close(fd);
}

struct TWork {
    int Fd;
    const std::string* Answer;
};

void* RunWork(void* argument) {
    const TWork work = *static_cast<TWork*>(argument);
    delete static_cast<TWork*>(argument);
    Serve(work.Fd, *work.Answer);
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    const long size = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 64;
    if (size < 1 || size > 65536) {
        std::fprintf(stderr, "usage: baseline_server ANSWER_BYTES (1..65536)\n");
        return 2;
    }
    // Answer text then the NUL, like every Halvane answer.
    std::string answer(static_cast<size_t>(size) - 1, 'x');
    answer += '\0';

    const int listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Halvane's listener keeps the same accept queue, so neither side gains from a longer one.
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 15) != 0) {
        std::perror("baseline_server");
        return 1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("%u\n", ntohs(address.sin_port));
    std::fflush(stdout);

    // Detached threads on small stacks, as Halvane's listener uses: the C library keeps such stacks
    // for reuse instead of mapping 8 MB for each connection.
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setstacksize(&attributes, 512 * 1024);
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    for (;;) {
        const int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        pthread_t thread;
        auto* work = new TWork{client, &answer};
        if (::pthread_create(&thread, &attributes, RunWork, work) != 0) {
            delete work;
            ::close(client);
        }
    }
}
