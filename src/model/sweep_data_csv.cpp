#include "model/sweep_data_csv.h"

#include <sstream>

namespace kv7 {

std::string SweepDataCsv(const SessionRecord& record) {
    std::ostringstream out;
    out << "sweep,stage,mode,lvin,point,setting,sd_reading,finished,best_reading,plateau_low,"
           "plateau_high,chosen_setting\r\n";
    int number = 0;
    for (const SessionRecord::Sweep& s : record.sweeps()) {
        ++number;
        // An interrupted sweep has no result: those fields stay empty.
        std::ostringstream result;
        if (s.finished) {
            result << "yes," << s.best << "," << s.plateauLo << "," << s.plateauHi << ","
                   << s.chosen;
        } else {
            result << "no,,,,";
        }
        const std::string tail = result.str();
        int point = 0;
        for (const SessionRecord::SweepPoint& p : s.points) {
            out << number << ",T" << (s.stage + 1) << "," << (s.all ? "all" : "single") << ","
                << s.lvin << "," << ++point << "," << p.setting << "," << p.sd << "," << tail
                << "\r\n";
        }
    }
    return out.str();
}

}  // namespace kv7
