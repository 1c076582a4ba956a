#include "testset/scpi_exchange.h"

#include "testset/test_set_reading.h"

namespace kv7 {

namespace {

constexpr const char* kMarkerQuery = "*OPC?";

// The answer to *OPC?: 1, as some instruments write it.
bool isMarker(const std::string& line) {
    size_t from = line.find_first_not_of(" \t");
    if (from == std::string::npos) return false;
    if (line[from] == '+') ++from;
    const size_t to = line.find_last_not_of(" \t");
    return to == from && line[from] == '1';
}

}  // namespace

std::string SecondsText(int32_t ms) {
    std::string t = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string frac = std::to_string(1000 + ms % 1000).substr(1);
        while (frac.back() == '0') frac.pop_back();
        t += "." + frac;
    }
    return t + " s";
}

ScpiExchange::ScpiExchange(TestSetLink& link, TickSource& ticks, ScpiExchangeEvents& events,
                           ScpiTiming timing)
    : link_(link), events_(events), timing_(timing), timer_(ticks) {
    link_.setListener(this);
}

ScpiExchange::~ScpiExchange() {
    link_.setListener(nullptr);
    if (link_.isOpen()) link_.close();
}

void ScpiExchange::open() {
    if (state_ == State::Opening || state_ == State::Open) return;
    queue_.clear();
    awaiting_ = Awaiting::Nothing;
    partial_.clear();
    overlong_ = false;
    state_ = State::Opening;
    timer_.setCounter(timing_.openTimeoutMs);
    link_.open();
}

void ScpiExchange::close(const std::string& reason) {
    if (state_ == State::Closed || state_ == State::Failed) return;
    state_ = State::Closed;
    link_.close();
    endPending(TestSetFault::NotReady, reason);
}

void ScpiExchange::command(const std::string& text) {
    queue_.push_back({text, nullptr});
    send();
}

void ScpiExchange::query(const std::string& text, ReplyHandler handler, bool marked) {
    queue_.push_back({text, handler ? std::move(handler) : [](const ScpiReply&) {}, marked});
    send();
}

void ScpiExchange::task() {
    if (state_ == State::Opening && timer_.counter() == 0) {
        fail(TestSetFault::TimeOut, "The test set did not accept the connection within " +
                                        SecondsText(timing_.openTimeoutMs) + ".");
    } else if (state_ == State::Open && awaiting_ != Awaiting::Nothing && timer_.counter() == 0) {
        const std::string asked = awaiting_ == Awaiting::Marker
                                      ? std::string(kMarkerQuery) + "' after '" + asked_.text
                                      : asked_.text;
        fail(TestSetFault::TimeOut, "The test set did not answer '" + asked + "' within " +
                                        SecondsText(timing_.queryTimeoutMs) + ".");
    }
}

// Writes what is queued up to and including the next query, then waits for its answer.
void ScpiExchange::send() {
    while (state_ == State::Open && awaiting_ == Awaiting::Nothing && !queue_.empty()) {
        Item item = std::move(queue_.front());
        queue_.pop_front();
        if (!item.handler) {
            link_.write(item.text + "\n");  // a failure reported from inside ends the loop
            continue;
        }
        asked_ = std::move(item);
        awaiting_ = Awaiting::Answer;
        timer_.setCounter(timing_.queryTimeoutMs);
        // The marker goes out at once: whatever comes between the answer and its "1" is
        // surplus.
        const bool marked = asked_.marked;
        for (const std::string& q : {asked_.text, std::string(kMarkerQuery)}) {
            if (state_ != State::Open) return;
            link_.write(q + "\n");
            if (state_ == State::Open) link_.beginRead();
            if (!marked) break;
        }
    }
}

void ScpiExchange::onLinkOpened() {
    if (state_ != State::Opening) return;
    state_ = State::Open;
    events_.onExchangeOpened();
    send();
}

void ScpiExchange::onLinkReceived(const std::string& bytes) {
    size_t from = 0;
    while (state_ == State::Open && from < bytes.size()) {
        const size_t nl = bytes.find('\n', from);
        const size_t end = nl == std::string::npos ? bytes.size() : nl;
        for (size_t i = from; i < end && !overlong_; ++i) {
            if (bytes[i] == '\r') continue;
            if (partial_.size() == kMaxReplyLength) {
                overlong_ = true;  // the rest of this line is dropped as it comes
                partial_.clear();
                break;
            }
            partial_ += bytes[i];
        }
        from = end + 1;
        if (nl == std::string::npos) break;
        const std::string line = std::move(partial_);
        const bool tooLong = overlong_;
        partial_.clear();
        overlong_ = false;
        takeLine(line, tooLong);
    }
}

void ScpiExchange::takeLine(const std::string& line, bool tooLong) {
    if (line.empty() && !tooLong) return;  // a blank line answers nothing
    ScpiReply reply;
    if (tooLong) {
        reply.fault = "the reply is longer than " + std::to_string(kMaxReplyLength) + " characters";
        reply.kind = TestSetFault::OverLong;
    } else {
        reply.line = line;
    }
    switch (awaiting_) {
        case Awaiting::Nothing:
            return fail(TestSetFault::Unasked,
                        "The test set sent " + QuotedReply(line) + " without being asked.");
        case Awaiting::Answer:
            if (asked_.marked) {
                answer_ = std::move(reply);
                awaiting_ = Awaiting::Marker;
                timer_.setCounter(timing_.queryTimeoutMs);
                return;
            }
            break;
        case Awaiting::Marker:
            if (tooLong || !isMarker(line)) {
                return fail(TestSetFault::Unasked,
                            "The test set sent a line nobody asked for: " + QuotedReply(line) +
                                " came where '1' answers *OPC? after '" + asked_.text +
                                "', so its answers are out of step with the questions.");
            }
            reply = std::move(answer_);
            break;
    }
    ReplyHandler handler = std::move(asked_.handler);
    awaiting_ = Awaiting::Nothing;
    send();
    handler(reply);
}

void ScpiExchange::onLinkError(const std::string& message) {
    std::string why = message;
    while (!why.empty() && (why.back() == '.' || why.back() == ' ')) why.pop_back();
    if (state_ == State::Opening) {
        fail(TestSetFault::LinkBroken, "The test set cannot be reached: " + why + ".");
    } else if (state_ == State::Open) {
        fail(TestSetFault::LinkBroken, "The connection to the test set broke: " + why + ".");
    }
}

void ScpiExchange::fail(TestSetFault kind, const std::string& message) {
    if (state_ == State::Closed || state_ == State::Failed) return;
    state_ = State::Failed;
    link_.close();
    events_.onExchangeFailed(kind, message);
    endPending(kind, message);
}

void ScpiExchange::endPending(TestSetFault kind, const std::string& fault) {
    std::deque<Item> pending = std::move(queue_);
    queue_.clear();
    if (awaiting_ != Awaiting::Nothing) pending.push_front(std::move(asked_));
    awaiting_ = Awaiting::Nothing;
    partial_.clear();
    overlong_ = false;
    for (Item& item : pending) {
        if (item.handler) item.handler({{}, fault, kind});
    }
}

}  // namespace kv7
