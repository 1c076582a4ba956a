#pragma once
#include <functional>

#include "align/align_radio.h"
#include "console/console.h"
#include "model/operation_controller.h"

namespace kv7 {

// The console line of an item.
int16_t ConsoleLine(const Kv7ItemIndex& items, AlignItem item);

// The radio of an alignment as the console and the controller offer it.
class ConsoleAlignRadio : public AlignRadio {
  public:
    // lineIdle: every byte written has crossed the line.
    ConsoleAlignRadio(clsConsole& console, clsIndOp_RigKV7& controller,
                      std::function<bool()> lineIdle);

    bool connected() const override;
    bool procedureRunning() const override;
    int16_t value(AlignItem item) const override;
    int16_t min(AlignItem item) const override;
    int16_t max(AlignItem item) const override;
    void step(AlignItem item, int16_t delta) override;
    void confirm(AlignItem item) override;
    bool changesSent() const override;
    bool txfTracking(int16_t setting) const override;
    bool txfSecondSetting() const override;
    void restoreTxfTable() override;
    bool tcxo() const override;
    int16_t transmittingChannel(std::optional<bool> lowPower, int16_t preferred) const override;
    std::optional<double> txFrequencyHz() const override;

  private:
    int16_t line(AlignItem item) const { return ConsoleLine(controller_.items(), item); }
    bool lineIdle() const { return !lineIdle_ || lineIdle_(); }

    clsConsole& console_;
    clsIndOp_RigKV7& controller_;
    std::function<bool()> lineIdle_;
};

}  // namespace kv7
