#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/alignment_record.h"
#include "model/session_observer.h"

namespace kv7 {

class SessionRecord;

// Told when a record's connection is over and when the record is about to be replaced, so the
// work in it can be kept.
class SessionRecordListener {
  public:
    virtual ~SessionRecordListener() = default;
    // A "Connect" began after the record's clone read: the radio's image is still the record's.
    virtual void connectionEnding(SessionRecord& record) = 0;
    // A new clone read completed: the record is replaced right after this.
    virtual void recordEnding(SessionRecord& record) = 0;
};

// What a service shop keeps of one connection: the radio, its items before and after, the
// monitor readings, every BPF sweep and every TXF procedure. A completed clone read starts a
// new record; a "Connect" that fails leaves the record of the connection before it as it was.
class SessionRecord : public SessionObserver {
  public:
    // Milliseconds since 1970-01-01 UTC.
    using Clock = std::function<int64_t()>;
    static int64_t systemClockMs();

    struct Item {
        std::string title;
        int32_t eeAdr = -1;
        bool sendsCommand = false;
        int16_t asRead = 0;
        int16_t now = 0;  // the value last sent (as read until then)
        bool changed() const { return now != asRead; }
    };
    struct Adjustment {
        int64_t ms = 0;
        int16_t item = 0;
        int16_t value = 0;
        bool onLine = true;
        SendCause cause = SendCause::Cycle;
    };
    struct Reading {
        int count = 0;  // valid answers so far; 0: never read
        int16_t first = 0;
        int64_t firstMs = 0;
        int16_t latest = 0;
        int64_t latestMs = 0;
    };
    struct SweepPoint {
        int16_t setting = 0;
        int16_t sd = 0;
    };
    struct Sweep {
        int64_t startedMs = 0;
        int16_t stage = 0;  // 0..3: T1..T4
        bool all = false;   // started from "BPF ALL"
        int16_t lvin = 0;
        std::vector<SweepPoint> points;
        bool finished = false;  // false: ended early (a button, a reset, a failure)
        int16_t best = -1;
        int16_t plateauLo = 0;
        int16_t plateauHi = 0;
        int16_t chosen = 0;
    };
    struct Txf {
        int64_t startedMs = 0;
        bool tcxo = false;
        bool firstConfirmed = false;
        int16_t firstSetting = -1;
        int16_t secondSetting = -1;  // -1: none (TCXO mode, or not confirmed yet)
        bool planned = false;        // the whole table was planned
        int16_t temps = -1;          // TEMPS reading the table was made at
        int16_t band = -1;
        std::array<int16_t, 40> entries{};  // bytes written for the table; -1 not written
        int entriesWritten() const;
        bool complete() const { return planned && entriesWritten() == 40; }
    };

    explicit SessionRecord(Clock clock = &SessionRecord::systemClockMs);

    bool connected() const { return connected_; }
    int16_t comPortNo() const { return comPortNo_; }
    int64_t connectMs() const { return connectMs_; }
    bool cloneRead() const { return cloneRead_; }
    int64_t cloneReadMs() const { return cloneReadMs_; }
    const std::string& modelCode() const { return modelCode_; }
    const std::string& subName() const { return subName_; }
    const std::vector<Item>& items() const { return items_; }
    const std::vector<Adjustment>& adjustments() const { return adjustments_; }
    // list 0: A/D channels 0..5; list 1: D/A values 0..7.
    const Reading& reading(int16_t list, int16_t row) const;
    const std::vector<Sweep>& sweeps() const { return sweeps_; }
    const std::vector<Txf>& txfProcedures() const { return txf_; }
    const std::vector<AlignmentRecord>& alignments() const { return alignments_; }

    // A point aligned against the test set (kept with its time).
    void alignmentDone(AlignmentRecord record);

    void setListener(SessionRecordListener* l) { listener_ = l; }
    // Items changed, sweeps, TXF procedures or alignments: work a technician would miss.
    bool holdsWork() const;
    // Work done since the last saved report (or never saved).
    bool workUnsaved() const { return holdsWork() && revision_ != savedRevision_; }
    // A report of the record as it is now has been saved.
    void reportSaved() { savedRevision_ = revision_; }
    // The parameter display's text as the connection left it, once a later "Connect" began
    // (the radio's image then fills with another read); empty until then.
    const std::optional<std::string>& listingAtEnd() const { return listingAtEnd_; }
    void setListingAtEnd(std::string text) { listingAtEnd_ = std::move(text); }

    // SessionObserver
    void connectStarted(int16_t comPortNo) override;
    void cloneReadDone(const std::string& modelCode, const std::string& subName,
                       const std::vector<ItemAsRead>& items) override;
    void itemSent(int16_t index, int16_t value, bool onLine, SendCause cause) override;
    void monitorRead(int16_t list, int16_t row, int16_t value) override;
    void sweepStageStarted(int16_t stage, bool all, int16_t lvin) override;
    void sweepPoint(int16_t stage, int16_t setting, int16_t sd) override;
    void sweepStageEnded(int16_t stage, int16_t best, int16_t plateauLo, int16_t plateauHi,
                         int16_t chosen) override;
    void txfStarted(bool tcxo) override;
    void txfFirstConfirmed(int16_t setting, int16_t temps, int16_t band) override;
    void txfTablePlanned(int16_t firstSetting, int16_t secondSetting, int16_t temps, int16_t band,
                         bool flat) override;
    void txfEntryWritten(int16_t entry, uint8_t value) override;

  private:
    // The sweep of `stage` that is still open, or nullptr.
    Sweep* openSweep(int16_t stage);
    // Empties the record for the connection that began with the last "Connect".
    void startNew();

    Clock clock_;
    SessionRecordListener* listener_ = nullptr;
    bool connectPending_ = false;  // a "Connect" began since the clone read
    int16_t pendingComPortNo_ = 0;
    int64_t pendingConnectMs_ = 0;
    bool changedItems_ = false;  // an item was sent with a value other than its last
    int revision_ = 0;           // counts the work recorded
    int savedRevision_ = 0;
    std::optional<std::string> listingAtEnd_;
    bool connected_ = false;
    int16_t comPortNo_ = 0;
    int64_t connectMs_ = 0;
    bool cloneRead_ = false;
    int64_t cloneReadMs_ = 0;
    std::string modelCode_;
    std::string subName_;
    std::vector<Item> items_;
    std::vector<Adjustment> adjustments_;
    std::array<Reading, 6> ad_{};
    std::array<Reading, 8> da_{};
    std::vector<Sweep> sweeps_;
    std::vector<Txf> txf_;
    std::vector<AlignmentRecord> alignments_;
};

}  // namespace kv7
