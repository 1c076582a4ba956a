#pragma once
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "store/byte_string.h"

namespace kv7::test {

// Holds a terminal's slave side open, so its number is not given to the next terminal opened:
// once the far side is gone the path is absent (a pulled cable), not a later test's terminal.
class TerminalHold {
  public:
    explicit TerminalHold(const std::string& path);
    ~TerminalHold();
    TerminalHold(const TerminalHold&) = delete;
    TerminalHold& operator=(const TerminalHold&) = delete;

  private:
    int fd_;
};

// A pseudo-terminal whose master side the test holds, standing for the far end of the cable.
class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }
    // Writes what the master side can take now; returns the count written.
    size_t write(const ByteString& bytes);
    // Every byte the master side can read now.
    ByteString read();
    // The far side goes away.
    void closeMaster();

  private:
    int master_ = -1;
    std::string slavePath_;
    std::optional<TerminalHold> hold_;
};

// Runs the event loop until done() holds or timeoutMs passes; returns done().
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
// Runs the event loop for ms.
void pumpFor(int ms);

// Writes an INI file holding [PORTS] with key=value lines; returns its path.
QString writePortsFile(const QString& dir, const std::string& body);

}  // namespace kv7::test
