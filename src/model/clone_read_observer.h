#pragma once

namespace kv7 {

// Told by the operation controller when a clone read starts (the image is about to be
// overwritten), when a clone read has filled the EEPROM image (before
// anything else touches it) and whenever the controller is reset (a communication error,
// "Connect", a change of port or TCXO mode).
class CloneReadObserver {
  public:
    virtual ~CloneReadObserver() = default;
    virtual void cloneReadStarted() = 0;
    virtual void cloneReadCompleted() = 0;
    virtual void controllerReset() = 0;
};

}  // namespace kv7
