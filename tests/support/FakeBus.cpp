#include "FakeBus.h"

#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace testfiles {

FakeBus::FakeBus(std::string socketPath) : path(std::move(socketPath)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        throw std::runtime_error("socket path too long: " + path);
    }
    path.copy(address.sun_path, path.size());
    listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listening < 0 || bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listening, 16) != 0) {
        throw std::runtime_error("cannot listen on " + path);
    }
}

FakeBus::~FakeBus() {
    for (int client : clients) {
        close(client);
    }
    close(listening);
    unlink(path.c_str());
}

bool FakeBus::AwaitClient() {
    pollfd waiting{listening, POLLIN, 0};
    if (poll(&waiting, 1, 20000) != 1) {
        return false;
    }
    const int client = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
        return false;
    }
    clients.push_back(client);
    return true;
}

} // namespace testfiles
