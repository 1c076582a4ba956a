#pragma once
#include <array>
#include <cstdint>

#include "model/session_observer.h"
#include "protocol/sequencer.h"
#include "store/common.h"
#include "view/window_controls.h"

namespace kv7 {

// The A/D and D/A monitor readings: asks the radio for one value at a time and shows it in its
// list when it changed.
class MonitorReader {
  public:
    MonitorReader(clsCmcQkv3Sequence& seq, MainWindowView& view) : seq_(seq), view_(view) {}

    // Forgets the shown values and any failed answer.
    void reset();
    // The identity an answer must not echo: that of the radio just read.
    void setRadioId(ByteString id) { radioIdBytes_ = std::move(id); }
    void setObserver(SessionObserver* o) { observer_ = o; }

    // The first call sends the request, later ones wait for the answer; true when it is in
    // (or failed: see commError).
    bool readAd(int16_t channel, bool first);
    bool readDa(int16_t number, bool first);

    int16_t lastAd(int16_t channel) const { return lastAd_[static_cast<size_t>(channel)]; }
    // An answer did not come from the radio: the connection must start again.
    bool commError() const { return commError_; }

  private:
    bool read(int16_t listNo, int16_t row, int16_t requestValue, int16_t& last, bool first);

    clsCmcQkv3Sequence& seq_;
    MainWindowView& view_;
    SessionObserver* observer_ = nullptr;
    ByteString radioIdBytes_;
    std::array<int16_t, 7> lastAd_{};
    std::array<int16_t, 9> lastDa_{};
    bool commError_ = false;
};

}  // namespace kv7
