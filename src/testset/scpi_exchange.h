#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "protocol/tick.h"
#include "testset/test_set_fault.h"
#include "testset/test_set_link.h"

namespace kv7 {

// The answer to one query: its line without the line end, or why there is none.
struct ScpiReply {
    std::string line;
    std::string fault;  // "the reply is longer than 4096 characters", the connection's end
    TestSetFault kind = TestSetFault::None;
    bool ok() const { return fault.empty(); }
};

// What the exchange tells its owner about the connection as a whole.
class ScpiExchangeEvents {
  public:
    virtual ~ScpiExchangeEvents() = default;
    virtual void onExchangeOpened() = 0;
    // The connection is over: a time-out, the link's error, a line nobody asked for.
    virtual void onExchangeFailed(TestSetFault kind, const std::string& message) = 0;
};

struct ScpiTiming {
    int32_t queryTimeoutMs = 2000;
    int32_t openTimeoutMs = 5000;
};

inline constexpr size_t kMaxReplyLength = 4096;

// Commands and queries to the test set over one link, one query at a time. Each goes out as
// "text\n", and the link hears of each query (beginRead) before its answer, the next line, is
// awaited. A marked query (a measurement) is followed by *OPC?, and its answer stands only when
// the very next line is the "1" of *OPC?: anything more or less (a line nobody asked for
// before, between or after) puts the answers out of step with the queries and ends the
// connection, so no answer is ever taken for another query's.
// Time runs on the tick source, polled from task() on the program's heartbeat. A query that
// is not answered in time ends the connection, so a late answer can never be taken for the
// answer to a later query.
//
// Handlers run on the program's thread from the link's reports or from task(). A handler may
// queue more, or close the exchange, but must not destroy it.
class ScpiExchange : private TestSetLinkListener {
  public:
    using ReplyHandler = std::function<void(const ScpiReply&)>;
    enum class State { Closed, Opening, Open, Failed };

    ScpiExchange(TestSetLink& link, TickSource& ticks, ScpiExchangeEvents& events,
                 ScpiTiming timing = {});
    ~ScpiExchange() override;
    ScpiExchange(const ScpiExchange&) = delete;
    ScpiExchange& operator=(const ScpiExchange&) = delete;

    void open();
    // Ends the connection; every query still waiting is answered with the reason as its fault.
    void close(const std::string& reason = "The test set was disconnected.");

    void command(const std::string& text);
    void query(const std::string& text, ReplyHandler handler, bool marked = false);
    void task();

    State state() const { return state_; }
    // Nothing waiting and nothing asked.
    bool idle() const { return queue_.empty() && awaiting_ == Awaiting::Nothing; }

  private:
    struct Item {
        std::string text;
        ReplyHandler handler;  // none: a command
        bool marked = false;   // followed by *OPC?
    };
    // What the next line from the instrument must be.
    enum class Awaiting { Nothing, Answer, Marker };

    void onLinkOpened() override;
    void onLinkReceived(const std::string& bytes) override;
    void onLinkError(const std::string& message) override;

    void send();
    void takeLine(const std::string& line, bool tooLong);
    void fail(TestSetFault kind, const std::string& message);
    void endPending(TestSetFault kind, const std::string& fault);

    TestSetLink& link_;
    ScpiExchangeEvents& events_;
    ScpiTiming timing_;
    clsCmcTick timer_;
    State state_ = State::Closed;
    std::deque<Item> queue_;
    Awaiting awaiting_ = Awaiting::Nothing;
    Item asked_;
    ScpiReply answer_;  // a marked query's answer, held until its marker came
    std::string partial_;
    bool overlong_ = false;  // the line being received passed the limit; the rest is dropped
};

// "2 s", "2.5 s": a time-out as the messages give it.
std::string SecondsText(int32_t ms);

}  // namespace kv7
