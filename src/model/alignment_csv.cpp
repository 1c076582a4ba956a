#include "model/alignment_csv.h"

#include <iomanip>
#include <sstream>

namespace kv7 {

std::string AlignmentDataCsv(const SessionRecord& record) {
    std::ostringstream out;
    out << "run,point,step,value,reading,target,tolerance,unit,result\r\n";
    out << std::setprecision(10);
    int number = 0;
    for (const AlignmentRecord& a : record.alignments()) {
        ++number;
        const char* unit = a.measure == AlignMeasure::Power ? "W" : "Hz";
        int step = 0;
        for (const AlignmentRecord::Step& s : a.steps) {
            out << number << "," << a.point << "," << ++step << "," << s.value << "," << s.reading
                << "," << s.target << "," << a.tolerance << "," << unit << ","
                << (a.passed ? "PASS" : "FAIL") << "\r\n";
        }
    }
    return out.str();
}

}  // namespace kv7
