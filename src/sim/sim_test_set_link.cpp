#include "sim/sim_test_set_link.h"

#include <algorithm>

#include "testset/gpib_adapter_link.h"
#include "testset/test_set_address.h"

namespace kv7::sim {

namespace {

int32_t later(TickSource& ticks, int32_t ms) {
    return static_cast<int32_t>(static_cast<uint32_t>(ticks.GetTickCount()) +
                                static_cast<uint32_t>(ms));
}

}  // namespace

SimTestSetLink::SimTestSetLink(SimTestSetLinks& owner, std::unique_ptr<SimTestSet> instrument)
    : owner_(owner), instrument_(std::move(instrument)) {
    owner_.links_.push_back(this);
}

SimTestSetLink::~SimTestSetLink() {
    auto& links = owner_.links_;
    links.erase(std::remove(links.begin(), links.end(), this), links.end());
}

void SimTestSetLink::open() {
    events_.clear();
    const int32_t due = later(owner_.ticks_, owner_.replyDelayMs_);
    events_.push_back({due, owner_.refuse_ ? Kind::Refused : Kind::Opened, {}});
}

void SimTestSetLink::close() {
    open_ = false;
    events_.clear();
}

void SimTestSetLink::write(const std::string& bytes) {
    if (!open_) return;
    written_ += bytes;
    for (SimTestSet::Piece& p : instrument_->receiveTimed(bytes)) {
        int32_t due = later(owner_.ticks_, owner_.replyDelayMs_ + p.delayMs);
        // A piece held back holds back what follows it.
        if (!events_.empty() && static_cast<int32_t>(static_cast<uint32_t>(events_.back().due) -
                                                     static_cast<uint32_t>(due)) > 0) {
            due = events_.back().due;
        }
        events_.push_back({due, Kind::Received, std::move(p.text)});
    }
}

void SimTestSetLink::pump() {
    const int32_t now = owner_.ticks_.GetTickCount();
    // The tick count wraps: due is compared by difference.
    while (!events_.empty() &&
           static_cast<int32_t>(static_cast<uint32_t>(now) -
                                static_cast<uint32_t>(events_.front().due)) >= 0) {
        const Event e = std::move(events_.front());
        events_.pop_front();
        if (listener_ == nullptr) continue;
        switch (e.kind) {
            case Kind::Opened:
                open_ = true;
                listener_->onLinkOpened();
                break;
            case Kind::Received: listener_->onLinkReceived(e.bytes); break;
            case Kind::Refused: listener_->onLinkError("Connection refused"); break;
        }
    }
}

SimTestSetLinks::SimTestSetLinks(TickSource& ticks, SimTestSet::Source source)
    : ticks_(ticks), source_(std::move(source)) {}

std::unique_ptr<TestSetLink> SimTestSetLinks::createLink(const TestSetAddress& address) {
    auto link = std::make_unique<SimTestSetLink>(
        *this, std::make_unique<SimTestSet>(source_, fault_, seed_++));
    // The simulated instrument stands behind the adapter an address with #ADDR names.
    if (!address.gpib()) return link;
    return std::make_unique<GpibAdapterLink>(std::move(link), GpibPrologue(address));
}

void SimTestSetLinks::pump() {
    // A report may end a connection and free its link: walk a copy, and only the living.
    const std::vector<SimTestSetLink*> links = links_;
    for (SimTestSetLink* l : links) {
        if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->pump();
    }
}

void SimTestSetLinks::setFault(SimTestSetFault fault) {
    fault_ = fault;
    for (SimTestSetLink* l : links_) l->instrument().setFault(fault);
}

}  // namespace kv7::sim
