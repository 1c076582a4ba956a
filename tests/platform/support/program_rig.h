#pragma once
#include <QString>

#include "app/program.h"
#include "app/support/fake_messages.h"
#include "app/support/fake_window.h"
#include "platform/qt/qt_heartbeat.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/support/window_support.h"
#include "protocol/tick.h"
#include "sim/sim_radio.h"

namespace kv7::test {

// One program as the platform builds it (the real Qt serial port and heartbeat), with the fake
// window and a recording message box. The settings file lives in dir.
struct ProgramRig {
    explicit ProgramRig(const QString& dir)
        : program(port, ticks, messages, beeper, view, dir.toStdString(), constIniPath(),
                  &heartbeat) {
        port.setSettingsFile(program.link().profMain().FullPath());
        heartbeat.setOnTick([this] { program.heartbeat(); });
    }
    ~ProgramRig() {
        heartbeat.setEnabled(false);
        heartbeat.setOnTick({});
    }

    void click(int16_t index) {
        program.event("the button", [&] { program.window().cmd00_Click(index); });
    }
    // The technician's key on a console line, as the window delivers it.
    void keyOn(int16_t line, int code) {
        view.console.setListIndex(line);
        program.event("the key", [&] { program.window().Form_KeyDown(code, false); });
        program.consoleKeyDown(code, false);
    }
    bool consoleLoaded() { return program.controller().RigKV7Prop_EditEnabled(); }
    // The cycle idles at its end with every item sent.
    bool atRest() { return program.controller().changesSent(); }
    ByteString image() { return program.radio().eepImage.ReadBlock(0, sim::kImageSize); }

    QtSerialPort port;
    SteadyTickSource ticks;
    QtHeartbeat heartbeat;
    FakeWindow view;
    FakeMessageSink messages;
    FakeBeeper beeper;
    Program program;
};

}  // namespace kv7::test
