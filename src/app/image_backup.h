#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/confirm_sink.h"
#include "app/event_boundary.h"
#include "app/saved_file_name.h"
#include "model/clone_read_observer.h"
#include "model/operation_controller_interface.h"
#include "protocol/radio.h"
#include "protocol/sequencer.h"
#include "protocol/sequencer_hooks.h"
#include "store/image_file.h"
#include "store/message_sink.h"
#include "store/profile_io.h"
#include "view/status_line.h"
#include "view/window_controls.h"

namespace kv7 {

// Keeps the radio's image as the last clone read delivered it, saves it or the adjusted
// working image to a file, and writes a saved image back to the radio: refused unless the file
// belongs to the connected radio, confirmed by the technician, then read back and compared byte
// by byte.
//
// The write runs the sequencer's clone write with the controller at rest, and the read-back is
// an ordinary "Connect", so the console shows what the radio holds afterwards. A failed write
// ends like any failed radio operation (the sequencer's message and the controller's reset); the
// working image is then put back as it was.
class ImageBackup : public SubNameChecker, public CloneReadObserver {
  public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    ImageBackup(clsCmcRadio& radio, clsCmcQkv3Sequence& seq, OperationController& controller,
                SubNameChecker& subNames, MainWindowView& view, MessageSink& messages,
                ModalDepth& depth, clsCmcProfileIO& settings);

    // Without one, a write is never confirmed and so never starts.
    void setConfirmSink(ConfirmSink* c) { confirm_ = c; }
    void setClock(Clock c) { now_ = std::move(c); }
    // Where each file saved or kept is named; without one nothing is said.
    void setStatusLine(StatusLine* s) { status_ = s; }

    bool hasAsRead() const { return hasAsRead_; }
    // From the accepted write until its outcome has been shown.
    bool writing() const { return phase_ != Phase::Idle || !pending_.empty(); }
    const ByteString& asRead() const { return asRead_.image; }
    // The name a saved image of the last read is offered under: its sub name and read-at time.
    std::string suggestedName(SavedFileKind kind) const;

    // Each shows its own message when it cannot do what is asked and then returns false.
    bool saveAsRead(const std::string& path);
    bool saveCurrent(const std::string& path);
    // True when the write has started (the file was accepted and the technician confirmed).
    bool writeImage(const std::string& path);

    // "Keep a copy of every image read": stored in the settings file at once.
    bool keepImages() const { return keepImages_; }
    void setKeepImages(bool on);
    void loadSettings();
    // Where the copies go: the folder "images" beside the settings file.
    std::string keptImagesFolder() const;
    // The file the last copy went to; empty when none was kept.
    const std::string& lastKeptFile() const { return lastKept_; }

    // Once per heartbeat, after the window's task: the write's progress and its end, and any
    // message of this job waiting to be shown.
    void task();

    // SubNameChecker: the controller's judgement, and during a write also the file's sub name,
    // so a radio swapped on the cable since the read never receives the image.
    bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) override;

    // CloneReadObserver
    void cloneReadStarted() override;
    void cloneReadCompleted() override;
    void controllerReset() override;

  private:
    // Starting: the controller has been reset and is about to show its resting window.
    enum class Phase { Idle, Starting, Writing, Verifying };

    ImageFile current() const;
    bool save(const ImageFile& file, const std::string& path, const char* what);
    void say(const std::string& text);
    void keepCopy();
    void refuse(const std::string& why);
    std::string confirmationText(const std::string& path, const ImageFile& file) const;
    void startWrite();
    void startReadBack();
    void showLater(std::string text) { pending_.push_back(std::move(text)); }
    std::string brokenWriteText() const;

    clsCmcRadio& radio_;
    clsCmcQkv3Sequence& seq_;
    OperationController& controller_;
    SubNameChecker& subNames_;
    MainWindowView& view_;
    MessageSink& messages_;
    ModalDepth& depth_;
    clsCmcProfileIO& settings_;
    ConfirmSink* confirm_ = nullptr;
    StatusLine* status_ = nullptr;
    Clock now_;

    bool hasAsRead_ = false;
    // The working image holds one complete clone read (and the changes made since); false from
    // the start of a clone read until it completes, since a read that breaks off leaves the
    // bytes of two reads side by side.
    bool wholeImage_ = false;
    ImageFile asRead_;
    std::chrono::system_clock::time_point readAtTime_{};  // asRead_'s read-at
    bool keepImages_ = false;
    std::string lastKept_;
    Phase phase_ = Phase::Idle;
    bool ownReset_ = false;   // the reset this job asked for itself
    ByteString target_;       // the image being written
    std::string targetSub_;   // its sub name
    std::string targetPath_;  // its file
    ByteString before_;       // the working image before the write, put back on failure
    std::vector<std::string> pending_;
};

}  // namespace kv7
