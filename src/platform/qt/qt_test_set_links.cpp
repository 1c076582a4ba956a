#include "platform/qt/qt_test_set_links.h"

#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <deque>

#include "testset/gpib_adapter_link.h"
#include "testset/test_set_address.h"

namespace kv7 {

namespace testsetlink {

// How soon a report held back by an open message box is tried again.
constexpr int kRetryMs = 50;
constexpr const char* kClosedByPeer = "the test set closed the connection";
// What the test set sent and the program has not taken yet (a message box is open) is held up
// to this; beyond it the connection ends instead of growing without bound.
constexpr size_t kMaxHeldBytes = 64 * 1024;
constexpr const char* kTooMuchHeld =
    "the test set sent more than 64 KiB while the program could not take it";
using LiveLinks = std::shared_ptr<std::set<ReportingLink*>>;

// What both links share: the listener and the reports on their way to it. Reports go out in
// the order they came, each as an event of the program; none goes out after close().
class ReportingLink : public TestSetLink {
  public:
    ReportingLink(QtTestSetLinks::Runner runner, LiveLinks live)
        : runner_(std::move(runner)), live_(std::move(live)) {
        retry_.setSingleShot(true);
        QObject::connect(&retry_, &QTimer::timeout, [this] { deliver(); });
        live_->insert(this);
    }
    ~ReportingLink() override { live_->erase(this); }

    bool isOpen() const override { return active_; }
    void setListener(TestSetLinkListener* listener) override { listener_ = listener; }

    // Delivers the reports in order, as far as the program takes them now; the rest waits.
    // A report made while one is being delivered waits for it to return, so the listener
    // never hears of the connection inside its own handler of the connection.
    void deliver() {
        if (delivering_) return;
        delivering_ = true;
        while (active_ && !pending_.empty()) {
            Report r = std::move(pending_.front());
            pending_.pop_front();
            const auto call = [this, &r] {
                if (listener_ != nullptr) r(*listener_);
            };
            if (runner_ && !runner_(call)) {
                pending_.push_front(std::move(r));
                retry_.start(kRetryMs);
                break;
            }
            if (!runner_) call();
        }
        delivering_ = false;
    }

  protected:
    using Report = std::function<void(TestSetLinkListener&)>;

    void start() {
        active_ = true;
        failed_ = false;
        pending_.clear();
        held_ = 0;
    }
    void stop() {
        active_ = false;
        pending_.clear();
        held_ = 0;
        retry_.stop();
    }
    // Stops taking bytes from the device at once, without a report of its own.
    virtual void drop() = 0;
    bool active() const { return active_; }

    void report(Report r) {
        if (!active_) return;
        pending_.push_back(std::move(r));
        deliver();
    }
    void opened() {
        report([](TestSetLinkListener& l) { l.onLinkOpened(); });
    }
    void received(std::string bytes) {
        if (!active_ || failed_) return;
        held_ += bytes.size();
        report([this, bytes = std::move(bytes)](TestSetLinkListener& l) {
            held_ -= std::min(held_, bytes.size());
            l.onLinkReceived(bytes);
        });
        // Delivered at once when the program can take it; otherwise held, up to the limit.
        if (active_ && held_ > kMaxHeldBytes) {
            pending_.clear();
            held_ = 0;
            failed(kTooMuchHeld);
            drop();
        }
    }
    // The first failure of an opening is the one reported; what follows from it is not news.
    void failed(const std::string& why) {
        if (failed_) return;
        failed_ = true;
        report([why](TestSetLinkListener& l) { l.onLinkError(why); });
    }

  private:
    QtTestSetLinks::Runner runner_;
    LiveLinks live_;
    TestSetLinkListener* listener_ = nullptr;
    bool active_ = false;
    bool failed_ = false;
    bool delivering_ = false;
    std::deque<Report> pending_;
    size_t held_ = 0;  // bytes received in pending_
    QTimer retry_;
};

class TcpTestSetLink : public ReportingLink {
  public:
    TcpTestSetLink(const TestSetAddress& a, QtTestSetLinks::Runner runner, LiveLinks live)
        : ReportingLink(std::move(runner), std::move(live)),
          host_(QString::fromStdString(a.host)),
          port_(a.port) {
        QObject::connect(&socket_, &QTcpSocket::connected, [this] {
            // Queries are short lines answered at once: no waiting to fill a segment.
            socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
            opened();
        });
        QObject::connect(&socket_, &QTcpSocket::readyRead,
                         [this] { received(socket_.readAll().toStdString()); });
        QObject::connect(&socket_, &QTcpSocket::errorOccurred,
                         [this](QAbstractSocket::SocketError e) {
                             failed(e == QAbstractSocket::RemoteHostClosedError
                                        ? std::string(kClosedByPeer)
                                        : socket_.errorString().toStdString());
                         });
        QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { failed(kClosedByPeer); });
    }
    ~TcpTestSetLink() override { close(); }

    void open() override {
        start();
        socket_.connectToHost(host_, port_);
    }
    void close() override {
        stop();
        socket_.abort();
    }
    void write(const std::string& bytes) override {
        if (!active() || socket_.state() != QAbstractSocket::ConnectedState) return;
        socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

  protected:
    void drop() override { socket_.abort(); }

  private:
    QString host_;
    quint16 port_;
    QTcpSocket socket_;
};

class SerialTestSetLink : public ReportingLink {
  public:
    SerialTestSetLink(const TestSetAddress& a, QtTestSetLinks::Runner runner, LiveLinks live)
        : ReportingLink(std::move(runner), std::move(live)), device_(a.device), baud_(a.baud) {
        QObject::connect(&port_, &QSerialPort::readyRead,
                         [this] { received(port_.readAll().toStdString()); });
        QObject::connect(&port_, &QSerialPort::errorOccurred,
                         [this](QSerialPort::SerialPortError e) { onError(e); });
    }
    ~SerialTestSetLink() override { close(); }

    void open() override {
        start();
        port_.setPortName(QString::fromStdString(device_));
        port_.setBaudRate(baud_);
        port_.setDataBits(QSerialPort::Data8);
        port_.setParity(QSerialPort::NoParity);
        port_.setStopBits(QSerialPort::OneStop);
        port_.setFlowControl(QSerialPort::NoFlowControl);
        if (!port_.open(QIODevice::ReadWrite)) {
            const std::string why = device_ + ": " + port_.errorString().toStdString();
            port_.clearError();
            return failed(why);
        }
        // Some USB adapters talk only while DTR is on; a device without modem lines has none.
        if (!port_.setDataTerminalReady(true)) port_.clearError();
        opened();
    }
    void close() override {
        stop();
        if (port_.isOpen()) port_.close();
        port_.clearError();
    }
    void write(const std::string& bytes) override {
        if (!active() || !port_.isOpen()) return;
        port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

  protected:
    void drop() override {
        if (port_.isOpen()) port_.close();
        port_.clearError();
    }

  private:
    // A lost device makes Qt report its error again and again while the port stays open: the
    // port is closed on the first and that one is reported.
    void onError(QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError || e == QSerialPort::UnsupportedOperationError) return;
        if (!port_.isOpen()) return;  // a failed opening is reported by open()
        const std::string why = device_ + ": " + port_.errorString().toStdString();
        port_.close();
        port_.clearError();
        failed(why);
    }

    std::string device_;
    qint32 baud_;
    QSerialPort port_;
};

}  // namespace testsetlink

std::unique_ptr<TestSetLink> QtTestSetLinks::createLink(const TestSetAddress& address) {
    using namespace testsetlink;
    if (address.kind == TestSetAddress::Kind::Tcp) {
        return std::make_unique<TcpTestSetLink>(address, runner_, live_);
    }
    TestSetAddress serial = address;
    if (const std::optional<int16_t> n = TestSetComPort(serial.device); n && comDevice_) {
        serial.device = comDevice_(*n);
    }
    auto link = std::make_unique<SerialTestSetLink>(serial, runner_, live_);
    if (!serial.gpib()) return link;
    return std::make_unique<GpibAdapterLink>(std::move(link), GpibPrologue(serial));
}

void QtTestSetLinks::deliverHeld() {
    // A delivery may end a link (and so the set's member): go by a copy.
    const std::set<testsetlink::ReportingLink*> links = *live_;
    for (testsetlink::ReportingLink* link : links) {
        if (live_->count(link) != 0) link->deliver();
    }
}

}  // namespace kv7
