#pragma once
#include <memory>
#include <string>

namespace kv7 {

struct TestSetAddress;

// What a connection to the test set reports, on the program's one thread (an adapter may report
// a failure from inside open() or write(); after close() it reports nothing more).
class TestSetLinkListener {
  public:
    virtual ~TestSetLinkListener() = default;
    virtual void onLinkOpened() = 0;
    // Bytes as they arrive: part of a line, several lines, anything the instrument sent.
    virtual void onLinkReceived(const std::string& bytes) = 0;
    // The connection could not be made or broke; it is closed. The message is the platform's
    // reason ("Connection refused"), which the test set puts in its own sentence.
    virtual void onLinkError(const std::string& message) = 0;
};

// A byte stream to the test set: a TCP socket or a serial device. Platform adapters implement
// it; opening may complete or fail later (a TCP connect), and nothing here ever waits.
class TestSetLink {
  public:
    virtual ~TestSetLink() = default;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void write(const std::string& bytes) = 0;
    // Called once a query is written, before its answer is awaited: a transport that must ask
    // for the answer (a GPIB adapter) does so here.
    virtual void beginRead() {}
    virtual void setListener(TestSetLinkListener* listener) = 0;
};

// Makes the link an address names (TCP or serial), not yet open; a serial device behind a GPIB
// adapter (#ADDR) comes wrapped in a GpibAdapterLink.
class TestSetLinkFactory {
  public:
    virtual ~TestSetLinkFactory() = default;
    virtual std::unique_ptr<TestSetLink> createLink(const TestSetAddress& address) = 0;
};

}  // namespace kv7
