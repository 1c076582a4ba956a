#include "platform/qt/event_gate.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kv7 {
namespace {

using Deferred = EventGate::Deferred;
using State = EventGate::State;

// What the window's own events run, in order, around handlers of the logic.
TEST(EventGate, WindowEventsWaitForTheOutermostHandlerAndRunCloseFirst) {
    struct Case {
        const char* name;
        std::function<void(EventGate&)> act;
        std::vector<std::string> ran;
        State end;
    };
    std::vector<std::string> ran;
    // A key whose handler opens a message box, inside which another key's handler runs.
    const auto inHandler = [&ran](EventGate& g, const std::function<void()>& inside) {
        g.dispatch("a key", [&] {
            g.dispatch("a nested key", inside);
            ran.push_back("handler");
        });
    };
    const Case cases[] = {
        {"resize and focus outside a handler run at once",
         [](EventGate& g) {
             g.post(Deferred::GotFocus);
             g.post(Deferred::Resize);
         },
         {"gotFocus", "resize"},
         State::Open},
        {"inside, they wait and run resize first",
         [&](EventGate& g) {
             inHandler(g, [&] {
                 EXPECT_TRUE(g.post(Deferred::GotFocus));
                 EXPECT_TRUE(g.post(Deferred::Resize));
             });
         },
         {"handler", "resize", "gotFocus"},
         State::Open},
        {"a close that waited drops them",
         [&](EventGate& g) {
             inHandler(g, [&] {
                 g.post(Deferred::Resize);
                 EXPECT_TRUE(g.post(Deferred::Unload));
                 g.post(Deferred::GotFocus);
             });
             g.post(Deferred::Resize);
         },
         {"handler", "queryUnload", "finish"},
         State::Unloaded},
        {"File > Exit unloads at once, inside its handler",
         [&](EventGate& g) {
             inHandler(g, [&] {
                 g.post(Deferred::Resize);
                 g.unloadNow();
             });
         },
         {"queryUnload", "finish", "handler"},
         State::Unloaded},
        {"quitting runs the close sequence once; a close then only ends",
         [](EventGate& g) {
             g.queryUnloadOnce();
             g.queryUnloadOnce();
             EXPECT_FALSE(g.post(Deferred::Unload));
             g.post(Deferred::Unload);
         },
         {"queryUnload", "finish"},
         State::Unloaded},
    };
    for (const Case& c : cases) {
        ran.clear();
        const auto log = [&ran](const char* what) { return [&ran, what] { ran.push_back(what); }; };
        EventGate gate({[&](const std::string&, const std::function<void()>& h) {
                            h();
                            return EventOutcome::Completed;
                        },
                        log("resize"), log("gotFocus"), log("queryUnload"), log("finish")});
        c.act(gate);
        EXPECT_EQ(ran, c.ran) << c.name;
        EXPECT_EQ(gate.state(), c.end) << c.name;
    }
}

}  // namespace
}  // namespace kv7
