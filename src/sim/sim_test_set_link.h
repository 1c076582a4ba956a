#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "protocol/tick.h"
#include "sim/sim_test_set.h"
#include "testset/test_set_link.h"

namespace kv7::sim {

class SimTestSetLinks;

// A connection to the simulated test set in the same process, in virtual time: the opening
// and every answer arrive replyDelayMs later, when pump() finds them due.
class SimTestSetLink : public TestSetLink {
  public:
    SimTestSetLink(SimTestSetLinks& owner, std::unique_ptr<SimTestSet> instrument);
    ~SimTestSetLink() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    void write(const std::string& bytes) override;
    void setListener(TestSetLinkListener* listener) override { listener_ = listener; }

    void pump();
    SimTestSet& instrument() { return *instrument_; }
    const std::string& written() const { return written_; }  // everything the program sent

  private:
    enum class Kind { Opened, Received, Refused };
    struct Event {
        int32_t due;
        Kind kind;
        std::string bytes;
    };

    SimTestSetLinks& owner_;
    std::unique_ptr<SimTestSet> instrument_;
    TestSetLinkListener* listener_ = nullptr;
    bool open_ = false;
    std::deque<Event> events_;
    std::string written_;
};

// Makes in-process links to one simulated test set whatever the address, and moves their
// answers along.
class SimTestSetLinks : public TestSetLinkFactory {
  public:
    SimTestSetLinks(TickSource& ticks, SimTestSet::Source source);

    std::unique_ptr<TestSetLink> createLink(const TestSetAddress& address) override;
    // Delivers what has come due on every live link.
    void pump();

    // For connections made from now on and, the fault, for those open now.
    void setFault(SimTestSetFault fault);
    void setReplyDelayMs(int32_t ms) { replyDelayMs_ = ms; }
    void setRefuse(bool refuse) { refuse_ = refuse; }  // connections fail to open

    SimTestSetLink* last() { return links_.empty() ? nullptr : links_.back(); }

  private:
    friend class SimTestSetLink;
    TickSource& ticks_;
    SimTestSet::Source source_;
    SimTestSetFault fault_ = SimTestSetFault::None;
    int32_t replyDelayMs_ = 3;
    bool refuse_ = false;
    uint32_t seed_ = 1;
    std::vector<SimTestSetLink*> links_;
};

}  // namespace kv7::sim
