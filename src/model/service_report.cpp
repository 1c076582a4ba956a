#include "model/service_report.h"

#include <algorithm>
#include <ctime>
#include <sstream>

#include "model/monitor_format.h"
#include "model/txf_table.h"

namespace kv7 {

namespace {

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string formatTime(int64_t ms, const char* format) {
    const std::time_t t = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    // The program is single-threaded: the shared result of localtime is safe to copy.
    if (const std::tm* p = std::localtime(&t)) local = *p;
    char buf[64];
    const size_t n = std::strftime(buf, sizeof buf, format, &local);
    return std::string(buf, n);
}

std::string signedText(int16_t v) {
    return v > 0 ? "+" + std::to_string(v) : std::to_string(v);
}

std::string stageName(int16_t stage) {
    return "BPF T" + std::to_string(stage + 1);
}

std::string itemName(const SessionRecord& record, int16_t index) {
    if (index >= 0 && static_cast<size_t>(index) < record.items().size())
        return trimmed(record.items()[static_cast<size_t>(index)].title);
    return "item " + std::to_string(index);
}

ReportTable itemTable(const SessionRecord& record) {
    ReportTable t;
    t.columns = {"Item", "EEPROM byte", "As read", "Now", "Note"};
    for (const SessionRecord::Item& it : record.items()) {
        // Channel selection, the sweep starter and the TXF setting are not kept in the radio:
        // a value "as read" would mean nothing.
        if (it.eeAdr < 0) {
            t.rows.push_back({trimmed(it.title), "none", "-", "-", "not stored"});
            t.marked.push_back(false);
            continue;
        }
        t.rows.push_back({trimmed(it.title), std::to_string(it.eeAdr), std::to_string(it.asRead),
                          std::to_string(it.now), it.changed() ? "changed" : ""});
        t.marked.push_back(it.changed());
    }
    return t;
}

// The values the technician changed on the radio: sweep points are in the curves, and a value
// sent again unchanged (every item goes out once after the clone read) tells nothing.
ReportTable adjustmentTable(const SessionRecord& record) {
    ReportTable t;
    t.columns = {"Time", "Item", "From", "To"};
    std::vector<int16_t> known;
    for (const SessionRecord::Item& it : record.items()) known.push_back(it.asRead);
    for (const SessionRecord::Adjustment& a : record.adjustments()) {
        if (a.item < 0 || static_cast<size_t>(a.item) >= known.size()) continue;
        int16_t& before = known[static_cast<size_t>(a.item)];
        const int16_t from = before;
        before = a.value;
        if (!a.onLine || a.cause != SendCause::Cycle || a.value == from) continue;
        t.rows.push_back({LocalTime(a.ms), itemName(record, a.item), std::to_string(from),
                          std::to_string(a.value)});
        t.marked.push_back(false);
    }
    return t;
}

ReportTable monitorTable(const SessionRecord& record) {
    ReportTable t;
    t.columns = {"First reading", "Time", "Latest reading", "Time", "Count"};
    for (int16_t list = 0; list < 2; ++list) {
        const int16_t rows = list == 0 ? 6 : 8;
        for (int16_t row = 0; row < rows; ++row) {
            const SessionRecord::Reading& r = record.reading(list, row);
            if (r.count == 0) continue;
            auto line = [&](int16_t v) {
                const auto b = static_cast<uint8_t>(v);
                return list == 0 ? AdLine(row, b) : DaLine(row, b);
            };
            t.rows.push_back({line(r.first), LocalTime(r.firstMs), line(r.latest),
                              LocalTime(r.latestMs), std::to_string(r.count)});
            t.marked.push_back(r.first != r.latest);
        }
    }
    return t;
}

ReportSweep sweepSection(const SessionRecord::Sweep& s) {
    ReportSweep r;
    r.sweep = &s;
    r.title = stageName(s.stage) + (s.all ? ", sweep of all stages" : ", single stage sweep") +
              ", started " + LocalTime(s.startedMs);
    std::ostringstream sum;
    sum << s.points.size() << " points";
    if (!s.points.empty()) {
        sum << " from " << s.points.front().setting << " to " << s.points.back().setting;
    }
    if (s.all) sum << " (LVIN " << s.lvin << ")";
    if (s.finished) {
        sum << ". Best SD reading " << s.best << " at settings " << s.plateauLo << " to "
            << s.plateauHi << ". Chosen setting " << s.chosen << ".";
    } else {
        sum << ". The sweep ended early; no setting was chosen.";
    }
    r.summary = sum.str();
    return r;
}

std::string tempsRange(const TempBorderTable& border, int16_t band) {
    const int16_t lo = border[static_cast<size_t>(band)];
    const int16_t hi = band == 19 ? 255 : static_cast<int16_t>(border[band + 1] - 1);
    return std::to_string(lo) + "-" + std::to_string(hi);
}

// Degrees of a band's readings; the end bands are open towards the sensor's limits.
std::string celsiusRange(const TempBorderTable& border, int16_t band) {
    std::ostringstream s;
    s.setf(std::ios::fixed);
    s.precision(0);
    const int16_t lo = border[static_cast<size_t>(band)];
    const int16_t hi = band == 19 ? 255 : static_cast<int16_t>(border[band + 1] - 1);
    if (band == 0) {
        s << "up to " << TempsCelsius(hi);
    } else if (band == 19) {
        s << TempsCelsius(lo) << " and above";
    } else {
        s << TempsCelsius(lo) << " to " << TempsCelsius(hi);
    }
    return s.str();
}

ReportTxf txfSection(const SessionRecord::Txf& x) {
    ReportTxf r;
    r.title = std::string("TXF procedure") + (x.tcxo ? " (TCXO mode)" : "") + ", started " +
              LocalTime(x.startedMs);
    const TempBorderTable border = DefaultTempBorders();
    if (x.temps >= 0) {
        std::ostringstream s;
        s << "TEMPS reading " << x.temps;
        if (x.temps > 0 && x.temps < 255) {
            s.setf(std::ios::fixed);
            s.precision(1);
            s << " (" << TempsCelsius(x.temps) << " \u00B0C)";
        }
        s << ", temperature band " << x.band;
        r.summary.push_back(s.str());
    }
    if (x.firstConfirmed) {
        std::string s = "1st setting " + std::to_string(x.firstSetting);
        s += x.secondSetting >= 0 ? ", 2nd setting " + std::to_string(x.secondSetting)
                                  : (x.tcxo && x.planned ? " (flat table)" : "");
        r.summary.push_back(s);
    } else {
        r.summary.push_back("No setting was confirmed; no table was written.");
    }
    if (!x.planned) return r;
    const int written = x.entriesWritten();
    r.summary.push_back(written == 40 ? "All 40 table entries written; the band of the "
                                        "adjustment temperature is in bold."
                                      : "Only " + std::to_string(written) +
                                            " of 40 table entries written: the procedure "
                                            "ended early.");
    // Value and slope under the names the parameter listing gives them.
    r.table.columns = {"Band", "TEMPS", "\u00B0C", "Value (REF Initial)", "Slope (REF Slant)"};
    for (int16_t b = 0; b < 20; ++b) {
        const int16_t v = x.entries[static_cast<size_t>(b)];
        const int16_t sl = x.entries[static_cast<size_t>(20 + b)];
        r.table.rows.push_back({std::to_string(b), tempsRange(border, b), celsiusRange(border, b),
                                v >= 0 ? std::to_string(v) : "-",
                                sl >= 0 ? signedText(static_cast<int8_t>(sl)) : "-"});
        r.table.marked.push_back(b == x.band);
    }
    return r;
}

ReportAlignment alignmentSection(const AlignmentRecord& a) {
    ReportAlignment r;
    r.record = &a;
    r.title = a.point + ": " + AlignVerdictName(a) + ", " + LocalTime(a.ms);
    const auto reading = [&a](const std::optional<double>& v) {
        return v ? "reading " + AlignReadingText(a.measure, *v) : std::string("no reading");
    };
    std::string target =
        a.measure == AlignMeasure::Frequency && a.point == "TXF"
            ? "the channel's transmit frequency, " + AlignReadingText(a.measure, a.target)
            : AlignReadingText(a.measure, a.target);
    r.summary.push_back("Target " + target + ", tolerance +/- " +
                        AlignToleranceText(a.measure, a.tolerance));
    r.summary.push_back("Before: value " + std::to_string(a.valueBefore) + ", " +
                        reading(a.readingBefore));
    r.summary.push_back("After: value " + std::to_string(a.valueAfter) + ", " +
                        reading(a.readingAfter) + "; " + std::to_string(a.steps.size()) +
                        (a.steps.size() == 1 ? " step" : " steps"));
    if (!a.checks.empty()) {
        std::string checks = a.window > 0 ? "With the table written, readings " : "Readings ";
        for (size_t i = 0; i < a.checks.size(); ++i) {
            checks += (i == 0 ? "" : ", ") + AlignReadingText(a.measure, a.checks[i]);
        }
        const double allowed = a.window > 0 ? a.window : a.tolerance;
        r.summary.push_back(checks + " (allowed +/- " + AlignToleranceText(a.measure, allowed) +
                            ")");
    }
    if (a.cancelled) {
        r.summary.push_back("Not aligned: cancelled by the technician");
    } else if (!a.passed) {
        r.summary.push_back("Not aligned: " + a.outcome);
    }
    if (!a.putBack.empty()) r.summary.push_back(a.putBack);
    return r;
}

std::vector<std::string> listingLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

std::string LocalDateTime(int64_t ms) {
    return formatTime(ms, "%Y-%m-%d %H:%M:%S");
}

std::string LocalTime(int64_t ms) {
    return formatTime(ms, "%H:%M:%S");
}

ServiceReport BuildServiceReport(const SessionRecord& record, const ReportContext& context) {
    ServiceReport r;
    r.header = {{"Program", context.program},
                {"Model", record.modelCode()},
                {"Sub name", record.subName()},
                {"Clone read", LocalDateTime(record.cloneReadMs())},
                {"Report made", LocalDateTime(context.savedMs)},
                {"Port", context.port}};
    r.items = itemTable(record);
    r.adjustments = adjustmentTable(record);
    r.monitors = monitorTable(record);
    for (const SessionRecord::Sweep& s : record.sweeps()) r.sweeps.push_back(sweepSection(s));
    for (const SessionRecord::Txf& x : record.txfProcedures()) r.txf.push_back(txfSection(x));
    for (const AlignmentRecord& a : record.alignments()) {
        r.alignments.push_back(alignmentSection(a));
    }
    r.parameters = listingLines(context.parameterListing);
    return r;
}

}  // namespace kv7
