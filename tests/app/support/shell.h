#pragma once
// The application shell put together from real parts and fakes: the link on a fake port, the
// real sequencer and console, a fake window, a recording controller and a recording message box.
// Header only: it uses the serial layer's fake port, which only this folder's tests link.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/main_window.h"
#include "app/support/fake_controller.h"
#include "app/support/fake_messages.h"
#include "app/support/fake_window.h"
#include "console/console.h"
#include "protocol/radio.h"
#include "protocol/sequencer.h"
#include "protocol/tick.h"
#include "serial/serial_link.h"
#include "serial/support/fake_serial_port.h"
#include "support/temp_folder.h"

namespace kv7::test {

class FakeTimer : public HeartbeatTimer {
  public:
    bool on = false;
    int changes = 0;
    void setEnabled(bool v) override {
        on = v;
        ++changes;
    }
    bool enabled() const override { return on; }
};

class AcceptAnySubName : public SubNameChecker {
  public:
    bool RigOpFunc_CheckSubNameLegal(const std::string&) override { return true; }
};

using TempDir = TempFolder;

inline std::string readFile(const std::string& path) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(pathFromUtf8(path), std::ios::binary) << text;
}

struct Shell {
    explicit Shell(const std::string& programDir)
        : link(port, ticks, programDir),
          seq(link, link.qkv3D(), radio, ticks),
          window(link, seq, console, view, messages) {
        window.setController(&controller);
        link.setClient(&window);
        link.setTimer(&timer);
        seq.setErrorReporter(&window);
        seq.setSubNameChecker(&subNames);
        console.myListBox = &view.console;
        view.onUnload = [this] { window.Form_QueryUnload(); };
    }

    std::string settingsFile() { return link.profMain().FullPath(); }

    // Items with the given values, drawn into the window's console list.
    void addItems(std::initializer_list<int16_t> values) {
        for (int16_t v : values) {
            console.AddItem();
            const int16_t i = static_cast<int16_t>(console.ListCount() - 1);
            console.setTitle(i, "ITEM" + std::to_string(i));
            console.setValue(i, v);
        }
    }

    FakeSerialPort port;
    ManualTickSource ticks;
    frmCom link;
    clsCmcRadio radio;
    clsCmcQkv3Sequence seq;
    clsConsole console;
    FakeWindow view;
    FakeMessageSink messages;
    frmMain window;
    FakeController controller;
    FakeTimer timer;
    AcceptAnySubName subNames;
};

}  // namespace kv7::test
