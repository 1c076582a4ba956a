#pragma once
#include <QString>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "store/byte_string.h"

namespace kv7::test {

struct Adjust {
    int number = 0;
    int value = 0;  // as the signed byte for the BPF stages
    bool operator==(const Adjust&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Adjust& a) {
    return os << "(" << a.number << ", " << a.value << ")";
}

// The radio's log as kv7-radio-sim wrote it: "frame: EE EF E8 ..." or "cut: ..." (and the
// simulated test set's "measure ..." and "end: ..." lines, which are not frames).
struct RadioLog {
    std::vector<ByteString> frames;
    int cut = 0;

    // An empty log when the file is not there.
    static RadioLog read(const QString& path) {
        RadioLog log;
        std::ifstream in(path.toStdString());
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string kind;
            words >> kind;
            if (kind == "cut:") {
                ++log.cut;
                continue;
            }
            if (kind != "frame:") continue;  // the test set's measurements, what is on the air
            ByteString record;
            std::string hex;
            while (words >> hex)
                record.push_back(static_cast<uint8_t>(std::stoi(hex, nullptr, 16)));
            log.frames.push_back(record);
        }
        return log;
    }

    // The command byte of every frame, in order.
    std::vector<int> commands() const {
        std::vector<int> out;
        for (const ByteString& r : frames) out.push_back(r.size() > 2 ? r[2] : -1);
        return out;
    }

    // The adjustment commands from frame `from` on.
    std::vector<Adjust> adjustments(size_t from = 0) const {
        std::vector<Adjust> out;
        for (size_t i = from; i < frames.size(); ++i) {
            const ByteString& r = frames[i];
            if (r.size() != 10 || r[2] != 0xE8) continue;
            const int value = std::stoi(std::string(r.begin() + 8, r.end()), nullptr, 16);
            const int number = r[7];
            const bool bpf = number >= 12 && number <= 15;
            out.push_back({number, bpf ? static_cast<int8_t>(value) : value});
        }
        return out;
    }
};

}  // namespace kv7::test
