#pragma once
#include <chrono>
#include <cstddef>
#include <string>

#include "store/byte_string.h"

namespace kv7 {

// A saved radio image: the 5,120 EEPROM bytes exactly as they are, then a short text trailer of
// key=value lines, one per line ending in LF, that says which radio the bytes belong to:
//
//   format=kv7-image-1
//   model=2251                      model code, four hexadecimal digits
//   sub=0200                        sub name, four hexadecimal digits
//   channel-type=1                  the radio's channel type flag, 0 or 1
//   read-at=2026-12-07T13:57:05Z    when the radio was read, UTC
//   image=as-read                   as-read (as the radio delivered it) or current (adjusted)
//
// The format line comes first; the others in any order. Keys this reader does not know are
// passed over, so a later writer may add some.
inline constexpr size_t kImageFileImageSize = 5120;
// A trailer is a few lines; anything longer is not one of ours.
inline constexpr size_t kImageFileMaxTrailer = 1024;
inline constexpr size_t kImageFileMaxLine = 80;
// No file we could accept is larger; a reader stops there.
inline constexpr size_t kImageFileMaxSize = kImageFileImageSize + kImageFileMaxTrailer;

enum class ImageKind { AsRead, Current };

struct ImageFileInfo {
    std::string modelCode;  // four upper-case hexadecimal digits
    std::string subName;    // four upper-case hexadecimal digits
    bool channelType = false;
    std::string readAt;  // YYYY-MM-DDTHH:MM:SSZ
    ImageKind kind = ImageKind::AsRead;
};

struct ImageFile {
    ByteString image;  // kImageFileImageSize bytes
    ImageFileInfo info;
};

const char* imageKindName(ImageKind k);  // "as-read" or "current"

// The whole file for an image and its description.
ByteString encodeImageFile(const ImageFile& file);

// Reads a file's bytes. With a trailer, the trailer must be valid. A bare image (exactly 5,120
// bytes, no trailer) is accepted only when `bareAllowed`; its info is then empty. On failure
// `error` says what is wrong, in a sentence for the technician.
bool decodeImageFile(const ByteString& data, bool bareAllowed, ImageFile& out, std::string& error);

// Reads the file at `path` (at most kImageFileMaxSize + 1 bytes of it) and decodes it. A folder,
// a missing or unreadable file each give their own message naming the path.
bool readImageFile(const std::string& path, bool bareAllowed, ImageFile& out, std::string& error);

// Writes the file through a temporary beside it, so an existing file is replaced only by a
// complete one. False with a message naming the path when it cannot be written.
bool writeImageFile(const std::string& path, const ImageFile& file, std::string& error);

// "2026-12-07T13:57:05Z" and the file-name form "20261207T135705Z" of a moment, in UTC.
std::string utcIsoText(std::chrono::system_clock::time_point t);
std::string utcCompactText(std::chrono::system_clock::time_point t);

}  // namespace kv7
