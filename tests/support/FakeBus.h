// A session bus that accepts connections and never answers: a listening Unix socket.
#ifndef QUENFIELD_TESTS_FAKEBUS_H
#define QUENFIELD_TESTS_FAKEBUS_H

#include <string>
#include <vector>

namespace testfiles {

class FakeBus {
public:
    // The socket is made at path, and removed with the object.
    explicit FakeBus(std::string path);
    ~FakeBus();
    FakeBus(const FakeBus&) = delete;
    FakeBus& operator=(const FakeBus&) = delete;

    // The value for DBUS_SESSION_BUS_ADDRESS.
    std::string Address() const { return "unix:path=" + path; }
    // Blocks until a client has connected, and keeps that connection open and silent; false when none came
    // within a generous bound.
    bool AwaitClient();

private:
    std::string path;
    int listening = -1;
    std::vector<int> clients;
};

} // namespace testfiles

#endif
