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
        const char* result = AlignVerdictName(a);
        int step = 0;
        for (const AlignmentRecord::Step& s : a.steps) {
            out << number << "," << a.point << "," << ++step << "," << s.value << "," << s.reading
                << "," << s.target << "," << a.tolerance << "," << unit << "," << result << "\r\n";
        }
        // The readings that decided the verdict, then what became of the value before the run.
        const double allowed = a.window > 0 ? a.window : a.tolerance;
        for (double c : a.checks) {
            out << number << "," << a.point << ",check," << a.valueAfter << "," << c << ","
                << a.target << "," << allowed << "," << unit << "," << result << "\r\n";
        }
        // A point that ended before its first step (cancelled at its question) still has its
        // line, so every point of the record is in the file with its result.
        if (a.steps.empty() && a.checks.empty() && !a.backOnRadio) {
            out << number << "," << a.point << ",none," << a.valueAfter << ",," << a.target << ","
                << a.tolerance << "," << unit << "," << result << "\r\n";
        }
        if (a.backOnRadio) {
            out << number << "," << a.point << "," << (*a.backOnRadio ? "back" : "not back") << ","
                << a.valueAfter << ",,," << a.tolerance << "," << unit << "," << result << "\r\n";
        }
    }
    return out.str();
}

}  // namespace kv7
