#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "protocol/tick.h"
#include "sim/sim_options.h"
#include "store/byte_string.h"

namespace kv7::sim {

inline constexpr int32_t kImageSize = 5120;
// Where the image keeps what the transmitter follows.
inline constexpr size_t kEePowerLo = 48;
inline constexpr size_t kEePowerHi = 49;
inline constexpr size_t kEeMod = 62;
// The memory channels: 20-byte records from here, the flags (bit 1: low power) at byte 9.
inline constexpr size_t kEeChannels = 576;
inline constexpr size_t kChannelRecordSize = 20;

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

// Line time in units of 1/96000 s: one byte at 9600 baud 8N1 (10 bits) takes 100.
inline constexpr int64_t kLineUnitsPerSecond = 96000;
inline constexpr int64_t kLineUnitsPerByte = 100;

// A QT-KV7 on the cloning cable: bytes from the program go in through receive(), the bytes it
// puts on the line (the cable's echo and its own frames) come out of takeDue() once their time
// has come. Time is the tick source's: virtual in tests, the real clock in the executable.
//
// The line carries the program's bytes at its own rate too: a byte written is taken in (echoed,
// parsed) only when the line has carried it. Until then it is still in the port's transmit
// queue, where flushInbound() destroys it as emptying a real port's transmit buffer would.
class SimRadio {
  public:
    // A received frame: the record between preamble and end byte, or what arrived of a frame
    // that was cut off, malformed or not meant for the radio.
    using FrameListener = std::function<void(const ByteString& record, bool malformed)>;

    SimRadio(TickSource& ticks, SimOptions options, ByteString image);
    SimRadio(TickSource& ticks, SimOptions options = {});

    // A finer clock in line units than the tick source's milliseconds (the executable paces
    // single bytes with it). It must count from the same moment on as the tick source.
    void setClock(std::function<int64_t()> unitsNow) { unitsNow_ = std::move(unitsNow); }

    // Bytes the program has written now; they reach the radio at the line rate, behind what is
    // still on the way. backToBack: they were waiting already when the line became free (a
    // reader that takes one byte at a time), so they follow on without a gap.
    void receive(const ByteString& bytes, bool backToBack = false);
    // Bytes written but not yet carried (the port's transmit queue, including the one on the
    // wire).
    size_t inboundPending();
    // The port's transmit queue is emptied: bytes not yet on the wire are gone; the one on the
    // wire still arrives.
    void flushInbound();
    // Line bytes due by now (at most max), in order.
    ByteString takeDue(size_t max = SIZE_MAX);
    // Line units until something happens on the line (a byte due to the program, or one of the
    // program's arriving): -1 with nothing under way, 0 when one is due.
    int64_t unitsUntilNext();
    // The same in whole milliseconds, rounded up.
    int32_t msUntilNext();
    size_t pendingCount() const { return line_.size(); }
    // The far end went away: a half-received frame, bytes on the way in either direction and a
    // clone write under way are dropped. Memory and adjustments stay.
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
    // The selected channel is set to low power.
    bool lowPowerSelected() const;

    // What the radio has taken in: every well-formed frame for it, in order, and how many frames
    // arrived cut off or malformed.
    const std::vector<ByteString>& requests() const { return requests_; }  // records for 0xEE
    int32_t malformedFrames() const { return malformedFrames_; }
    void setFrameListener(FrameListener listener) { frameListener_ = std::move(listener); }
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
        int64_t due;  // in line units
    };

    int64_t now();
    // Takes in every byte of the program that the line has carried by now.
    void advance();
    void takeIn(uint8_t b);
    void rxByte(uint8_t b);
    void frameDone(const ByteString& record, bool malformed);
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

    std::function<int64_t()> unitsNow_;

    // Receiving: the program's bytes on their way, then the frame being assembled.
    std::deque<LineByte> inbound_;
    int64_t inboundFree_ = 0;
    int64_t rxTime_ = 0;  // arrival time of the byte being taken in
    Rx rx_ = Rx::Outside;
    ByteString record_;
    std::vector<ByteString> requests_;
    int32_t malformedFrames_ = 0;
    FrameListener frameListener_;

    // The line back to the program.
    std::deque<LineByte> line_;
    int64_t lineFree_ = 0;
    int64_t bytesSent_ = 0;
    uint32_t noiseSeed_ = 1;

    // Clock
    bool clockStarted_ = false;
    int32_t lastTick_ = 0;
    int64_t nowMs_ = 0;
    int64_t lastUnits_ = 0;  // the clock as last read, in line units
    int64_t offAt_ = -1;     // when the radio is switched off, in line units; -1: never

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
