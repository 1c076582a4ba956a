// Receive-parser throughput on a recorded clone-read byte stream: the simulated radio's answer
// to a clone read request (echo, 320 data frames, clone end), fed to the driver in the chunk
// sizes a serial port delivers.
#include <benchmark/benchmark.h>

#include "protocol/protocol_driver.h"
#include "sim/sim_radio.h"
#include "store/common.h"

namespace {

class SinkLink : public kv7::CloneLink {
  public:
    bool comSendEnable() const override { return true; }
    int32_t outBufferFree() const override { return 1024; }
    void output(const kv7::ByteString&) override {}
    void setComPortNum(int16_t) override {}
    void setComOpen(bool) override {}
    bool comOpen() const override { return true; }
    void Reset() override {}
};

const kv7::ByteString kRequest = kv7::HexTextToByteString("E222510200");

// What the line carries during one clone read, echo included.
kv7::ByteString recordCloneRead() {
    kv7::ManualTickSource ticks;
    kv7::sim::SimOptions options;
    options.pacing = false;
    options.pacedIntake = false;
    kv7::sim::SimRadio radio(ticks, options);
    kv7::ByteString frame = {0xFE, 0xFE, 0xEE, 0xEF};
    frame.insert(frame.end(), kRequest.begin(), kRequest.end());
    frame.push_back(0xFD);
    radio.receive(frame);
    kv7::ByteString stream;
    for (int i = 0; i < 100000 && (radio.pendingCount() > 0 || stream.empty()); ++i) {
        ticks.advance(10);
        const kv7::ByteString due = radio.takeDue();
        stream.insert(stream.end(), due.begin(), due.end());
    }
    return stream;
}

void BM_CloneReadStream(benchmark::State& state) {
    static const kv7::ByteString stream = recordCloneRead();
    const auto chunk = static_cast<size_t>(state.range(0));
    kv7::ManualTickSource ticks;
    kv7::clsCmcEeprom eep;
    SinkLink link;
    kv7::clsCmcQkv3Drv drv(ticks);
    drv.myObjCom = &link;
    drv.setMyEep(&eep);
    for (auto _ : state) {
        drv.Reset();
        drv.setWorkMode(2);
        drv.Send(kRequest);
        for (size_t pos = 0; pos < stream.size(); pos += chunk) {
            const size_t n = std::min(chunk, stream.size() - pos);
            drv.read(kv7::ByteString(stream.begin() + pos, stream.begin() + pos + n));
        }
        if (drv.Running() || drv.nowError() != 0)
            state.SkipWithError("clone read did not complete");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(stream.size()));
    state.counters["line_rate_multiple"] = benchmark::Counter(
        static_cast<double>(stream.size()) / 960.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CloneReadStream)->Arg(1)->Arg(16)->Arg(64)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();
