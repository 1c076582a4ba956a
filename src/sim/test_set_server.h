#pragma once
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim_test_set.h"

namespace kv7::sim {

// The simulated test set on 127.0.0.1 for kv7-radio-sim: a listening socket and the clients
// connected to it, each with an instrument of its own, served from the simulator's poll loop
// without ever blocking. A client may come and go at any time.
class TestSetServer {
  public:
    TestSetServer(SimTestSet::Source source, SimTestSetFault fault, SimBenchFaults bench = {},
                  SimTestSet::MeasureListener listener = {});
    ~TestSetServer();
    TestSetServer(const TestSetServer&) = delete;
    TestSetServer& operator=(const TestSetServer&) = delete;

    // Port 0 takes a free one. False with the reason when the port cannot be had.
    bool listen(uint16_t port, std::string& error);
    uint16_t port() const { return port_; }

    // Adds the sockets to wait on; handle() then serves whatever poll found ready among them.
    void addPollFds(std::vector<pollfd>& fds) const;
    void handle(const std::vector<pollfd>& fds);
    // Some answer is held back (late): the loop should look again soon.
    bool holding() const;

  private:
    using Clock = std::chrono::steady_clock;
    struct Client {
        int fd;
        std::unique_ptr<SimTestSet> instrument;
        std::string unsent;
        std::deque<std::pair<Clock::time_point, std::string>> held;  // late answers, in order
    };

    void accept();
    // Moves what is due from held to unsent.
    static void release(Client& c);
    // False when the client is gone.
    bool serve(Client& c, short revents);

    SimTestSet::Source source_;
    SimTestSetFault fault_;
    SimBenchFaults bench_;
    SimTestSet::MeasureListener listener_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    uint32_t seed_ = 1;
    std::vector<Client> clients_;
};

}  // namespace kv7::sim
