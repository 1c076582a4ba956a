#pragma once
#include <cstdint>
#include <string>

#include "store/eeprom.h"

namespace kv7 {

// The radio the program expects and what it learnt of the connected one; owns the one image.
class clsCmcRadio {
  public:
    clsCmcEeprom eepImage;

    void setRadioNameM(const std::string& v) { radioNameM_ = v; }
    const std::string& radioNameM() const { return radioNameM_; }
    void setRadionameS(const std::string& v) { radionameS_ = v; }
    const std::string& radionameS() const { return radionameS_; }
    void setRadioCH_Type(bool v) { radioCH_Type_ = v; }
    bool radioCH_Type() const { return radioCH_Type_; }

    void cloneWriteAdrList_Clear() { cloneWriteAdrList_.clear(); }
    void cloneWriteAdrList_Add(int32_t adr0, int32_t adr1);
    const std::string& cloneWriteAdrList() const { return cloneWriteAdrList_; }

  private:
    std::string radioNameM_ = "0000";
    std::string radionameS_ = "0000";
    bool radioCH_Type_ = false;
    std::string cloneWriteAdrList_;
};

}  // namespace kv7
