#pragma once
#include <cstdint>
#include <string>

#include "console/console.h"
#include "model/operation_controller_interface.h"
#include "protocol/sequencer.h"
#include "serial/serial_link.h"
#include "store/message_sink.h"
#include "view/window_controls.h"

namespace kv7 {

// The main window's logic: its three settings, its periodic task, its event handlers and the
// error report. The platform window (MainWindowView) forwards its events to the handlers here.
class frmMain : public LinkClient, public CloneErrorReporter {
  public:
    frmMain(frmCom& link, clsCmcQkv3Sequence& seq, clsConsole& console, MainWindowView& view,
            MessageSink& messages);

    void setController(OperationController* c) { controller_ = c; }

    // Settings; each write is passed on at once.
    void setComPortNo(int16_t v);
    int16_t ComPortNo() const { return comPortNo_; }
    void setComAutoRelease(int16_t v);
    int16_t ComAutoRelease() const { return comAutoRelease_; }
    void setTCXOSet(bool v);
    bool TCXOSet() const { return tcxoSet_; }

    // Window events.
    void Form_Initialize();  // window created: the three defaults
    bool Form_Load();        // false: "Const.ini" unreadable, the program has been closed down
    void Form_Resize();
    void Form_QueryUnload();  // CloseLink; never cancels
    void mnuFileExit_Click();
    void mnuOptSelCom_Click(int16_t index);
    void mnuOptionSelAutoRelease_Click(int16_t index);
    void Check1_Click();
    void cmd00_Click(int16_t index);
    void cmd00_KeyPress(char ch);
    void Form_KeyDown(int keyCode, bool shift);
    void lboConsole_GotFocus();
    // Returns true when the key was consumed (Left, Right, Enter, keypad separator).
    bool lboConsole_KeyDown(int keyCode, bool shift);
    // Whether a key changes the console (as lboConsole_KeyDown takes it) or the radio (as
    // Form_KeyDown takes it); other keys only move about or type.
    static bool consoleKeyActs(int keyCode);
    static bool windowKeyActs(int keyCode);

    // LinkClient
    void task() override;
    void reportLinkError() override;
    void saveData(clsCmcProfileIO& objProf) override;
    void loadData(clsCmcProfileIO& objProf) override;

    // CloneErrorReporter
    void MsgBoxCloneErr(clsCmcQkv3Sequence& myObjQkv3Seq) override;

    bool linkClosed() const { return linkClosed_; }
    // The last saving of the settings could not write them to the settings file.
    bool settingsSaveFailed() const { return settingsSaveFailed_; }

  private:
    void CloseLink();
    // Store a setting and pass it on, without making it one to write back.
    void passComPortNo(int16_t v);
    void passComAutoRelease(int16_t v);
    // The wired controller; a missing one is a wiring fault (std::logic_error).
    OperationController& controller();

    frmCom& link_;
    clsCmcQkv3Sequence& seq_;
    clsConsole& console_;
    MainWindowView& view_;
    MessageSink& messages_;
    OperationController* controller_ = nullptr;
    int16_t comPortNo_ = 1;
    int16_t comAutoRelease_ = 0;
    bool tcxoSet_ = false;
    // Whether the setting was loaded or set since start-up, and so is written back.
    bool comPortKnown_ = false;
    bool comAutoReleaseKnown_ = false;
    std::string keyHistory_;
    bool linkClosed_ = false;
    bool settingsSaveFailed_ = false;
};

}  // namespace kv7
