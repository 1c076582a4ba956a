#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "protocol/tick.h"
#include "sim/sim_options.h"
#include "store/byte_string.h"

namespace kv7::sim {

inline constexpr int32_t kImageSize = 5120;

// The built-in EEPROM image: a handful of memory channels (some empty, some inhibited, mixed
// power), adjustment values, and a TXF table that compensates the crystal of a radio built
// with these options.
ByteString sampleImage(const SimOptions& options = {});
// Reads a 5,120-byte image; false with a reason otherwise.
bool loadImageFile(const std::string& path, ByteString& image, std::string& error);

// One adjustment command as the radio took it.
struct AdjustCommand {
    uint8_t number = 0;
    uint8_t value = 0;
    bool answered = false;
};

// A QT-KV7 on the cloning cable: bytes from the program go in through receive(), the bytes it
// puts on the line (the cable's echo and its own frames) come out of takeDue() once their time
// has come. Time is the tick source's: virtual in tests, the real clock in the executable.
class SimRadio {
  public:
    SimRadio(TickSource& ticks, SimOptions options, ByteString image);
    SimRadio(TickSource& ticks, SimOptions options = {});

    // Bytes the program has written, arriving now.
    void receive(const ByteString& bytes);
    // Line bytes due by now (at most max), in order.
    ByteString takeDue(size_t max = SIZE_MAX);
    // Milliseconds until the next line byte is due: -1 with nothing queued, 0 when one is due.
    int32_t msUntilNext();
    size_t pendingCount() const { return line_.size(); }
    // The far end went away: a half-received frame, unsent bytes and a clone write under way are
    // dropped. Memory and adjustments stay.
    void dropLine();

    const SimOptions& options() const { return options_; }
    // Faults and readings may change while the radio runs.
    SimOptions& options() { return options_; }

    const ByteString& image() const { return image_; }
    void setImage(const ByteString& image);

    // State as the adjustment commands left it.
    int16_t selectedChannel() const { return selectedChannel_; }  // -1 before command 0
    bool adjustMode() const { return adjustMode_; }               // command 2 received
    int16_t bpfSetting(int stage) const;                          // stage 0..3, signed
    uint8_t txfEntry(int entry) const;                            // TXF table entry 0..39

    // Monitor reading 0..13 as command 3 answers it now; -1 for other numbers.
    int16_t monitorReading(int number) const;
    // Compensation value the TXF table gives at the present temperature reading.
    double txfCompensation() const;
    // Transmit frequency error in ppm from crystal drift and compensation.
    double txfErrorPpm() const;
    // Transmit frequency of the selected channel in Hz with that error; 0 when the channel is
    // empty, inhibited or none is selected.
    double txFrequencyHz() const;

    // What the radio has taken in.
    const std::vector<ByteString>& requests() const { return requests_; }  // records for 0xEE
    const std::vector<AdjustCommand>& adjustLog() const { return adjustLog_; }
    int32_t cloneReadCount() const { return cloneReads_; }
    int32_t cloneWriteCount() const { return cloneWrites_; }      // accepted (result 00) only
    int16_t lastWriteResult() const { return lastWriteResult_; }  // -1 before any clone end
    int32_t writePacketCount() const { return writePackets_; }    // packets of the last write
    int64_t bytesSent() const { return bytesSent_; }              // echo and frames, queued
    bool lineCut() const;

  private:
    enum class Rx { Outside, Preamble, Body };
    struct LineByte {
        uint8_t value;
        int64_t due;  // in units of 1/96000 s: one byte at 9600 baud 8N1 takes 100
    };

    int64_t now();
    void rxByte(uint8_t b);
    void onRecord(const ByteString& record);
    bool identityMatches(const ByteString& record) const;
    void answerIdentification();
    void streamClone();
    void takeClonePacket(const ByteString& record);
    void endCloneWrite(const ByteString& record);
    void adjust(const ByteString& record);
    void applyAdjustment(uint8_t number, uint8_t value);
    uint8_t sdReading() const;
    void queueEcho(uint8_t b);
    void queueFrame(const ByteString& payload, int32_t delayMs);
    void queueByte(uint8_t b, int64_t start);
    ByteString frame(const ByteString& payload) const;

    TickSource& ticks_;
    SimOptions options_;
    ByteString image_;
    std::array<uint8_t, 2> model_{};
    std::array<uint8_t, 2> sub_{};

    // Receiving
    Rx rx_ = Rx::Outside;
    ByteString record_;
    std::vector<ByteString> requests_;

    // The line back to the program.
    std::deque<LineByte> line_;
    int64_t lineFree_ = 0;
    int64_t bytesSent_ = 0;
    uint32_t noiseSeed_ = 1;

    // Clock
    bool clockStarted_ = false;
    int32_t lastTick_ = 0;
    int64_t nowMs_ = 0;

    // Clone write under way
    bool writeOpen_ = false;
    bool writeBad_ = false;
    ByteString staged_;
    int32_t writePackets_ = 0;

    int16_t selectedChannel_ = -1;
    bool adjustMode_ = false;
    std::vector<AdjustCommand> adjustLog_;
    int32_t cloneReads_ = 0;
    int32_t cloneWrites_ = 0;
    int16_t lastWriteResult_ = -1;
};

}  // namespace kv7::sim
