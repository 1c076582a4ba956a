#include "model/kv7_items.h"

namespace kv7 {

namespace {

constexpr int16_t kNone = -1;
// Adjustment commands of the items the alignment drives.
constexpr int16_t kCmdPowerHi = 5;
constexpr int16_t kCmdPowerLo = 7;
constexpr int16_t kCmdMod = 8;

constexpr Kv7ItemRow plain(const char* title, int32_t eeAdr, int16_t command) {
    return {title,           0,    255,   eeAdr,           false,
            command,         true, false, DispEvent::None, SendEvent::None,
            EnterEvent::None};
}

constexpr Kv7ItemRow bpfStage(const char* title, int16_t stage) {
    return {title,
            -128,
            127,
            68 + stage,
            true,
            static_cast<int16_t>(12 + stage),
            true,
            false,
            DispEvent::BpfStage,
            SendEvent::None,
            static_cast<EnterEvent>(static_cast<int16_t>(EnterEvent::BpfT1) + stage)};
}

}  // namespace

const std::array<Kv7ItemRow, 12> kKv7Items = {{
    {"    CH No.", 0, 0, kNone, false, 0, false, true, DispEvent::Channel, SendEvent::Channel,
     EnterEvent::None},
    plain(" Power(Hi)", 49, kCmdPowerHi),
    plain(" Power(LO)", 48, kCmdPowerLo),
    plain("  DTCS BAL", 63, 11),
    plain("       MOD", 62, kCmdMod),
    plain("       SQL", 135, 4),
    {"   BPF ALL", 0, 255, kNone, false, kNone, false, false, DispEvent::BpfAll, SendEvent::None,
     EnterEvent::BpfAll},
    bpfStage("    BPF T1", 0),
    bpfStage("    BPF T2", 1),
    bpfStage("    BPF T3", 2),
    bpfStage("    BPF T4", 3),
    {"       TXF", 0, 255, kNone, false, kNone, false, false, DispEvent::Txf, SendEvent::None,
     EnterEvent::Txf},
}};

Kv7ItemIndex AddKv7Items(clsConsole& c) {
    Kv7ItemIndex where;
    for (const Kv7ItemRow& row : kKv7Items) {
        c.AddItem();
        const auto i = static_cast<int16_t>(c.ListCount() - 1);
        c.setTitle(i, row.title);
        c.setMin(i, row.min);
        c.setMax(i, row.max);
        c.setEeAdr(i, row.eeAdr);
        c.setEeDataSigned(i, row.eeSigned);
        c.setE8Command(i, row.command);
        c.setBarExist(i, row.bar);
        c.setLoopVal(i, row.loop);
        c.setEvent_Disp(i, static_cast<int16_t>(row.disp));
        c.setEvent_SendE8(i, static_cast<int16_t>(row.send));
        c.setEvent_Enter(i, static_cast<int16_t>(row.enter));
        if (row.send == SendEvent::Channel) where.chNo = i;
        if (row.command == kCmdPowerHi) where.powerHi = i;
        if (row.command == kCmdPowerLo) where.powerLo = i;
        if (row.command == kCmdMod) where.mod = i;
        if (row.enter == EnterEvent::BpfAll) where.sweepStarter = i;
        if (row.enter == EnterEvent::BpfT1) where.bpfT1 = i;
        if (row.enter == EnterEvent::Txf) where.txf = i;
    }
    return where;
}

}  // namespace kv7
