// The constants file reader on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "model/constants_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    kv7::ConstTable rev20{}, rev10{};
    (void)kv7::ReadConstants(in, rev20, rev10);
    (void)kv7::VbVal(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
