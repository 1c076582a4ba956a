#include "sim/support/sim_bench.h"

#include <cctype>
#include <stdexcept>

namespace kv7::simtest {

ByteString hex(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
    if (digits.size() % 2 != 0) throw std::invalid_argument("odd hex text");
    ByteString out;
    for (size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

ByteString request(const ByteString& payload) {
    ByteString f = {0xFE, 0xFE, 0xEE, 0xEF};
    for (uint8_t b : payload) f.push_back(b);
    f.push_back(0xFD);
    return f;
}

ByteString request(const std::string& payloadHex) {
    return request(hex(payloadHex));
}

ByteString asciiHex(const ByteString& bytes) {
    static const char* digits = "0123456789ABCDEF";
    ByteString out;
    for (uint8_t b : bytes) {
        out.push_back(static_cast<uint8_t>(digits[b >> 4]));
        out.push_back(static_cast<uint8_t>(digits[b & 15]));
    }
    return out;
}

ByteString clonePacket(int32_t address, const ByteString& data, int skew) {
    ByteString rec = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF),
                      static_cast<uint8_t>(data.size())};
    rec.insert(rec.end(), data.begin(), data.end());
    int sum = 0;
    for (uint8_t b : rec) sum += b;
    rec.push_back(static_cast<uint8_t>((256 - sum % 256 + skew) % 256));
    ByteString p = {0xE4};
    for (uint8_t c : asciiHex(rec)) p.push_back(c);
    return p;
}

ByteString cloneEnd() {
    return hex("E5 5665786F20496E632E");
}

std::vector<ByteString> records(const ByteString& stream) {
    std::vector<ByteString> out;
    bool inFrame = false;
    ByteString cur;
    for (uint8_t b : stream) {
        if (b == 0xFE) {
            inFrame = true;
            cur.clear();
        } else if (b == 0xFD) {
            if (inFrame) out.push_back(cur);
            inFrame = false;
        } else if (inFrame) {
            cur.push_back(b);
        }
    }
    return out;
}

std::vector<ByteString> answers(const ByteString& stream) {
    std::vector<ByteString> out;
    for (auto& r : records(stream))
        if (r.size() >= 3 && r[0] == 0xEF && r[1] == 0xEE) out.push_back(r);
    return out;
}

Bench::Bench(sim::SimOptions o) : radio(clock, o) {}
Bench::Bench(sim::SimOptions o, const ByteString& image) : radio(clock, o, image) {}

ByteString Bench::run(int32_t ms) {
    ByteString got;
    for (int32_t t = 0;; ++t) {
        const ByteString due = radio.takeDue();
        for (uint8_t b : due) {
            got.push_back(b);
            line.push_back(b);
            arrivalMs.push_back(clock.GetTickCount());
        }
        if (t >= ms) break;
        clock.advance(1);
    }
    return got;
}

ByteString Bench::exchange(const ByteString& bytes, int32_t ms) {
    radio.receive(bytes);
    return run(ms);
}

ByteString monitorRequest(int n, const std::string& codes) {
    return adjustRequest(3, static_cast<uint8_t>(n), codes);
}

ByteString adjustRequest(uint8_t number, uint8_t value, const std::string& codes) {
    ByteString p = hex("E8" + codes);
    p.push_back(number);
    for (uint8_t c : asciiHex({value})) p.push_back(c);
    return request(p);
}

}  // namespace kv7::simtest
