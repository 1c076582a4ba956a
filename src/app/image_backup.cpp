#include "app/image_backup.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "model/monitor_format.h"
#include "store/common.h"
#include "store/file_path.h"

namespace kv7 {

namespace {

constexpr const char* kSection = "IMAGES";
constexpr const char* kKeyKeepImages = "KeepImages";
constexpr const char* kKeptFolder = "images";
constexpr const char* kKeptExtension = ".kv7img";
constexpr int32_t kImageSize = static_cast<int32_t>(kImageFileImageSize);
constexpr int32_t kPacketSize = 16;  // bytes of the image in one clone write packet
constexpr const char* kNothingWritten = "Nothing was written to the radio.";

std::string hexAddress(int32_t adr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(adr));
    return buf;
}

}  // namespace

ImageBackup::ImageBackup(clsCmcRadio& radio, clsCmcQkv3Sequence& seq,
                         OperationController& controller, SubNameChecker& subNames,
                         MainWindowView& view, MessageSink& messages, ModalDepth& depth,
                         clsCmcProfileIO& settings)
    : radio_(radio),
      seq_(seq),
      controller_(controller),
      subNames_(subNames),
      view_(view),
      messages_(messages),
      depth_(depth),
      settings_(settings),
      now_([] { return std::chrono::system_clock::now(); }) {}

// ---- saving ------------------------------------------------------------------------------------

ImageFile ImageBackup::current() const {
    ImageFile f = asRead_;
    f.image = radio_.eepImage.ReadBlock(0, kImageSize);
    f.info.kind = ImageKind::Current;
    return f;
}

void ImageBackup::say(const std::string& text) {
    if (status_ != nullptr) status_->showStatus(text);
}

std::string ImageBackup::suggestedName(SavedFileKind kind) const {
    return SavedFileName(asRead_.info.subName, readAtTime_, kind);
}

bool ImageBackup::save(const ImageFile& file, const std::string& path, const char* what) {
    if (!hasAsRead_) {
        messages_.showMessage(
            "No image has been read from the radio yet: press \"Connect\" first.");
        return false;
    }
    std::string error;
    if (!writeImageFile(path, file, error)) {
        messages_.showMessage(error);
        return false;
    }
    say(std::string(what) + " saved to " + WholePathText(path));
    return true;
}

bool ImageBackup::saveAsRead(const std::string& path) {
    return save(asRead_, path, "Image as read");
}

bool ImageBackup::saveCurrent(const std::string& path) {
    // While a write runs, the working image holds the file being written or the read-back.
    if (phase_ != Phase::Idle) {
        messages_.showMessage(
            "An image is being written to the radio: save the current image "
            "once it has been read back.");
        return false;
    }
    if (hasAsRead_ && !wholeImage_) {
        messages_.showMessage(
            "The last clone read has not completed, so the working image is not the memory of "
            "one radio: press \"Connect\" and save the current image once the read has "
            "completed.");
        return false;
    }
    return save(current(), path, "Current image");
}

std::string ImageBackup::keptImagesFolder() const {
    return utf8FromPath(pathFromUtf8(settings_.FullPath()).parent_path() / kKeptFolder);
}

void ImageBackup::keepCopy() {
    const std::filesystem::path folder = pathFromUtf8(keptImagesFolder());
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // Named as a saved image of the read is; two reads within one second keep both copies.
    const std::string name = suggestedName(SavedFileKind::ImageAsRead);
    const std::string stem = name.substr(0, name.size() - std::string(kKeptExtension).size());
    std::filesystem::path file = folder / pathFromUtf8(name);
    for (int n = 2; std::filesystem::exists(file, ec) && n < 100; ++n) {
        file = folder / pathFromUtf8(stem + "-" + std::to_string(n) + kKeptExtension);
    }
    std::string error;
    if (ec || !writeImageFile(utf8FromPath(file), asRead_, error)) {
        if (error.empty()) error = "Cannot create the folder " + utf8FromPath(folder) + ".";
        showLater("The copy of the image read could not be kept.\r\n" + error);
        return;
    }
    lastKept_ = utf8FromPath(file);
    say("A copy of the image read was kept in " + lastKept_);
}

void ImageBackup::setKeepImages(bool on) {
    keepImages_ = on;
    settings_.setSection(kSection);
    settings_.saveData(kKeyKeepImages, ProfileValue(std::in_place_type<int16_t>, on ? 1 : 0));
}

void ImageBackup::loadSettings() {
    settings_.setSection(kSection);
    int16_t v = 0;
    keepImages_ = settings_.loadData(kKeyKeepImages, v, int16_t{0}) && v != 0;
}

// ---- the write ---------------------------------------------------------------------------------

void ImageBackup::refuse(const std::string& why) {
    messages_.showMessage(why + "\r\n\r\n" + kNothingWritten);
}

std::string ImageBackup::confirmationText(const std::string& path, const ImageFile& file) const {
    return "Write the image of " + path +
           " to the radio?\r\n\r\nThis overwrites the whole memory "
           "of the connected QT-KV7 (model code " +
           radio_.radioNameM() + ", sub name " + radio_.radionameS() +
           "), all 5120 bytes with its adjustment values and channels, "
           "with the " +
           imageKindName(file.info.kind) + " image read at " + file.info.readAt +
           ". The radio is then read back and compared.";
}

bool ImageBackup::writeImage(const std::string& path) {
    if (phase_ != Phase::Idle) {
        messages_.showMessage("An image is being written to the radio already.");
        return false;
    }
    if (!hasAsRead_) {
        refuse(
            "Connect to the radio first: the image is written only to the radio it was read "
            "from.");
        return false;
    }
    // The identity the file is checked against is the last complete read's, which need not be
    // the radio on the cable now.
    if (!wholeImage_) {
        refuse(
            "The last clone read has not completed: press \"Connect\" and write once the radio "
            "has been read completely.");
        return false;
    }
    ImageFile file;
    std::string error;
    if (!readImageFile(path, false, file, error)) {
        refuse(error);
        return false;
    }
    if (file.info.modelCode != radio_.radioNameM()) {
        refuse("The image is of model code " + file.info.modelCode +
               ", the connected radio's model code is " + radio_.radioNameM() + ".");
        return false;
    }
    if (file.info.subName != asRead_.info.subName) {
        refuse("The image is of sub name " + file.info.subName +
               ", the connected radio's sub name is " + asRead_.info.subName + ".");
        return false;
    }
    depth_.enter();
    const bool ok = confirm_ != nullptr && confirm_->confirm(confirmationText(path, file));
    depth_.leave();
    if (!ok) return false;

    target_ = file.image;
    targetSub_ = file.info.subName;
    targetPath_ = path;
    // The controller rests while the sequencer writes; the write starts once the window shows
    // the resting state (title and progress, no console to type into).
    ownReset_ = true;
    controller_.RigOpFunc_ResetAll();
    ownReset_ = false;
    phase_ = Phase::Starting;
    return true;
}

void ImageBackup::startWrite() {
    before_ = radio_.eepImage.ReadBlock(0, kImageSize);
    radio_.eepImage.WriteBlock(0, target_);
    phase_ = Phase::Writing;
    seq_.easyCloneWrite();  // the port is opened afresh for the write
}

void ImageBackup::startReadBack() {
    // Bytes the read-back does not deliver keep the opposite of what was written, so they can
    // never pass as verified.
    ByteString opposite(target_);
    for (uint8_t& b : opposite) b = static_cast<uint8_t>(~b);
    radio_.eepImage.WriteBlock(0, opposite);
    ownReset_ = true;
    controller_.RigOpFunc_ClickCmd00(0);  // "Connect": clone read, console, monitoring cycle
    ownReset_ = false;
    phase_ = Phase::Verifying;
}

void ImageBackup::task() {
    if (phase_ == Phase::Starting && controller_.atRest()) startWrite();
    if (phase_ == Phase::Writing) {
        if (seq_.OpRunning() && seq_.Operation() == 3) {
            view_.lblProgress().setCaption(ProgressCaption(seq_.driver().lastEeAdr(), 5120.0));
        } else {
            // Every failure ends through the controller's reset, so this is a write completed.
            startReadBack();
        }
    }
    while (!pending_.empty() && !depth_.modal()) {
        const std::string text = pending_.front();
        pending_.erase(pending_.begin());
        messages_.showMessage(text);
    }
}

bool ImageBackup::RigOpFunc_CheckSubNameLegal(const std::string& nameS) {
    if (!subNames_.RigOpFunc_CheckSubNameLegal(nameS)) return false;
    return phase_ != Phase::Writing || nameS == targetSub_;
}

void ImageBackup::cloneReadStarted() {
    wholeImage_ = false;
}

void ImageBackup::cloneReadCompleted() {
    hasAsRead_ = true;
    wholeImage_ = true;
    asRead_.image = radio_.eepImage.ReadBlock(0, kImageSize);
    asRead_.info.modelCode = radio_.radioNameM();
    asRead_.info.subName = radio_.radionameS();
    asRead_.info.channelType = radio_.radioCH_Type();
    readAtTime_ = now_();
    asRead_.info.readAt = utcIsoText(readAtTime_);
    asRead_.info.kind = ImageKind::AsRead;
    if (keepImages_) keepCopy();
    if (phase_ != Phase::Verifying) return;
    phase_ = Phase::Idle;
    for (int32_t a = 0; a < kImageSize; ++a) {
        const int got = asRead_.image[static_cast<size_t>(a)];
        const int want = target_[static_cast<size_t>(a)];
        if (got != want) {
            showLater("The image was written, but the radio reads back differently from address " +
                      hexAddress(a) + " (hexadecimal) on: the radio holds " +
                      HexByte(static_cast<int16_t>(got)) + ", the image " +
                      HexByte(static_cast<int16_t>(want)) + ".");
            return;
        }
    }
    showLater("Image written and verified.");
}

void ImageBackup::controllerReset() {
    if (ownReset_ || phase_ == Phase::Idle) return;
    if (phase_ == Phase::Starting) {
        phase_ = Phase::Idle;
        showLater("The image was not written: the connection was reset before the write began.");
        return;
    }
    if (phase_ == Phase::Writing) {
        // The write failed (its message is being shown) or was broken off: the working image
        // is what it was, the radio's memory is whatever the radio kept.
        radio_.eepImage.WriteBlock(0, before_);
        phase_ = Phase::Idle;
        const std::string broken = brokenWriteText();
        if (!broken.empty()) showLater(broken);
        return;
    }
    phase_ = Phase::Idle;
    showLater(
        "The image was written, but reading it back did not finish, so it is not "
        "verified. Connect again and compare the image as read with the file.");
}

// After a write that ended early: what the radio may hold, or empty when no packet reached it or
// the radio answered (a refusal). The driver still holds its last packet's address here.
std::string ImageBackup::brokenWriteText() const {
    clsCmcQkv3Drv& drv = seq_.driver();
    const int16_t mode = drv.workMode();
    if ((mode != 3 && mode != 4) || drv.lastError() == 6) return {};
    const int32_t last = drv.lastEeAdr();
    const std::string& list = radio_.cloneWriteAdrList();
    int32_t total = 0;
    int32_t at = 0;  // the packet that ends at `last`, counted from 1
    for (size_t i = 0; i + 9 <= list.size(); i += 10) {
        const int32_t lo =
            static_cast<int32_t>(std::strtol(list.substr(i, 4).c_str(), nullptr, 16));
        const int32_t hi =
            static_cast<int32_t>(std::strtol(list.substr(i + 5, 4).c_str(), nullptr, 16));
        if (hi < lo) continue;
        if (mode == 3 && last >= lo && last <= hi &&
            ((last - lo + 1) % kPacketSize == 0 || last == hi)) {
            at = total + (last - lo) / kPacketSize + 1;
        }
        total += (hi - lo + kPacketSize) / kPacketSize;
    }
    const std::string again = " Write the same file (" + targetPath_ + ") again to repair it.";
    if (mode == 4) {
        return "The radio's memory may be incomplete: all " + std::to_string(total) +
               " packets were sent, but the radio did not confirm the write." + again;
    }
    if (at == 0) return {};
    return "The radio's memory may be incomplete: the write broke off at packet " +
           std::to_string(at) + " of " + std::to_string(total) + "." + again;
}

}  // namespace kv7
