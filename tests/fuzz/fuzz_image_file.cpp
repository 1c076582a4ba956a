// The image file reader on arbitrary trailers after an image, and on arbitrary short files.
// A trailer it accepts must come back the same through the writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "store/image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv7::ByteString file(kv7::kImageFileImageSize, 0xA5);
    file.insert(file.end(), data, data + size);
    kv7::ImageFile decoded;
    std::string error;
    if (kv7::decodeImageFile(file, false, decoded, error)) {
        kv7::ImageFile again;
        if (!kv7::decodeImageFile(kv7::encodeImageFile(decoded), false, again, error)) abort();
        const kv7::ImageFileInfo& a = decoded.info;
        const kv7::ImageFileInfo& b = again.info;
        if (again.image != decoded.image || a.modelCode != b.modelCode || a.subName != b.subName ||
            a.channelType != b.channelType || a.readAt != b.readAt || a.kind != b.kind) {
            abort();
        }
    } else if (error.empty()) {
        abort();  // every refusal says why
    }
    (void)kv7::decodeImageFile(kv7::ByteString(data, data + size), true, decoded, error);
    return 0;
}
