// kv7-session, the program driven by a script on the offscreen platform, against the
// pseudo-terminal radio: what it prints, what it saves, and how it ends.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/constants_file.h"
#include "model/txf_table.h"
#include "platform/support/pty_pair.h"
#include "platform/support/radio_sim_process.h"
#include "sim/sim_physics.h"
#include "sim/sim_radio.h"
#include "store/image_file.h"

namespace kv7 {
namespace {

#if defined(KV7_SESSION) && defined(KV7_RADIO_SIM)
constexpr const char* kSessionProgram = KV7_SESSION;
#else
constexpr const char* kSessionProgram = nullptr;
#endif

// Absolute: the sessions run in a directory of their own, and a build may name this file by a
// path relative to the test's working directory.
const std::filesystem::path kSourceDir = std::filesystem::absolute(
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path());

QString sourceFile(const char* relative) {
    // Absolute: the session runs in another directory, and __FILE__ may be a relative path.
    return QString::fromStdString(std::filesystem::absolute(kSourceDir / relative).string());
}

struct SessionRun {
    int exitCode = -1;
    bool finished = false;
    std::vector<std::string> out;  // standard output, line by line
    std::string err;
};

// The lines of a printed section ("console, 12 lines, ...:" then "| " lines), from the last
// print that holds the section.
std::vector<std::string> lastSection(const SessionRun& r, const std::string& name) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < r.out.size(); ++i) {
        if (r.out[i].rfind(name + ",", 0) != 0 && r.out[i].rfind(name + " (hidden),", 0) != 0)
            continue;
        lines.clear();
        for (size_t k = i + 1; k < r.out.size() && r.out[k].rfind("| ", 0) == 0; ++k)
            lines.push_back(r.out[k].substr(2));
    }
    return lines;
}

std::string transcript(const SessionRun& r) {
    std::string t = "\n--- transcript\n";
    for (const std::string& l : r.out) t += l + "\n";
    return t;
}

bool printed(const SessionRun& r, const std::string& text) {
    for (const std::string& l : r.out)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (kSessionProgram == nullptr) GTEST_SKIP() << "kv7-session or kv7-radio-sim not built";
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("build")));
    }

    // kv7-radio-sim's terminal; empty when it did not start.
    std::string startSim(const QStringList& args) {
        return sim.start(test::kSimProgram, args) ? sim.slavePath() : std::string();
    }

    // Runs kv7-session in the temporary directory; the script comes on standard input unless
    // the arguments name one.
    SessionRun runSession(const QStringList& args, const std::string& script = {},
                          int timeoutMs = 60000) {
        QProcess p;
        p.setProgram(QString::fromUtf8(kSessionProgram));
        p.setArguments(args);
        p.setWorkingDirectory(dir.path());
        p.start();
        SessionRun r;
        if (!p.waitForStarted(5000)) return r;
        p.write(script.data(), static_cast<qint64>(script.size()));
        p.closeWriteChannel();
        r.finished = p.waitForFinished(timeoutMs);
        if (!r.finished) {
            p.kill();
            p.waitForFinished(3000);
        }
        r.exitCode = r.finished ? p.exitCode() : -1;
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        for (const QString& l : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            r.out.push_back(l.toStdString());
        r.err = QString::fromUtf8(p.readAllStandardError()).toStdString();
        return r;
    }

    // Records kept at a session's end go to the temporary directory, not beside the program.
    QStringList withConst(QStringList args) {
        args << QStringLiteral("--const") << sourceFile("data/Const.ini")
             << QStringLiteral("--reports") << dir.filePath(QStringLiteral("reports"));
        return args;
    }

    // A session on the radio's terminal, its waits limited to timeoutS seconds.
    QStringList onRadio(const std::string& pty, int timeoutS) {
        return withConst({QStringLiteral("--port"), QString::fromStdString(pty),
                          QStringLiteral("--timeout"), QString::number(timeoutS)});
    }

    QTemporaryDir dir;
    test::RadioSimProcess sim;
};

// The demo of ./run.sh, the radio sending at the line rate as a real line at 9600 baud does;
// then keys reach the window as a keyboard's do: F5 on the console reads every monitor value
// again, a step on a console line goes out as its adjustment command.
TEST_F(SessionTest, DemoShowsTheWindowAndKeysGoThroughIt) {
    const QString radioLog = QDir(dir.path()).filePath(QStringLiteral("radio.log"));
    const std::string pty = startSim({QStringLiteral("--frame-log"), radioLog});
    ASSERT_FALSE(pty.empty());
    const QString script = QDir(dir.path()).filePath(QStringLiteral("demo-and-keys.session"));
    QFile demo(sourceFile("data/demo.session")), both(script);
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly) && both.open(QIODevice::WriteOnly));
    // The second round of 14 readings takes its line time; under load 2 s was too short.
    both.write(demo.readAll() + "key F5\nkey Right on Power(Hi)\nwait 4\n");
    both.close();
    const SessionRun r = runSession(onRadio(pty, 40) << QStringLiteral("--script") << script);
    ASSERT_TRUE(r.finished) << transcript(r);
    ASSERT_EQ(r.exitCode, 0) << r.err << transcript(r);
    EXPECT_FALSE(printed(r, "=== message box")) << r.err;

    // The console after the clone read: the power item with the value read from the radio.
    const std::vector<std::string> console = lastSection(r, "console");
    ASSERT_EQ(console.size(), 12u);
    const QRegularExpression power(QStringLiteral("^ Power\\(Hi\\): +\\d+ \\[[#-]{20}\\]$"));
    EXPECT_TRUE(power.match(QString::fromStdString(console[1])).hasMatch()) << console[1];

    // Six A/D readings under their header, each in volts (TEMPS in degrees).
    const std::vector<std::string> ad = lastSection(r, "monitor list 0");
    ASSERT_EQ(ad.size(), 7u);
    EXPECT_EQ(ad[0], "[A/D]");
    const QRegularExpression reading(
        QStringLiteral("^[A-Z ]{5}:[ \\d]{3}:[0-9A-F]{2}h: *-?\\d+\\.\\d\\d"));
    int volts = 0;
    for (size_t i = 1; i < ad.size(); ++i) {
        EXPECT_TRUE(reading.match(QString::fromStdString(ad[i])).hasMatch()) << ad[i];
        if (QString::fromStdString(ad[i]).contains(
                QRegularExpression(QStringLiteral("\\d\\.\\d\\dV"))))
            ++volts;
    }
    EXPECT_EQ(volts, 5);  // all but the temperature
    EXPECT_EQ(lastSection(r, "monitor list 1").size(), 9u);

    // The parameter display was shown with its whole listing.
    const std::vector<std::string> para = lastSection(r, "parameter display");
    ASSERT_EQ(para.size(), 83u);
    EXPECT_EQ(para[0].rfind("           POW HI Level: ", 0), 0u) << para[0];
    EXPECT_TRUE(printed(r, "=== window: SW-KV7 ADJ Rev.2.0 (disp-para, step 22)"));

    const QString png = QDir(dir.path()).filePath(QStringLiteral("build/demo.png"));
    QImage shot;
    ASSERT_TRUE(shot.load(png, "PNG")) << png.toStdString();
    EXPECT_GT(shot.width(), 400);
    EXPECT_GT(shot.height(), 300);

    QFile log(radioLog);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString frames = QString::fromLatin1(log.readAll());
    EXPECT_FALSE(frames.contains(QStringLiteral("cut:"))) << frames.toStdString();
    // A monitor request: command 03 with the channel as ASCII hex; 14 channels, read twice.
    const QString request = QStringLiteral("frame: EE EF E8 22 51 02 00 03 ");
    EXPECT_EQ(frames.count(request), 28) << frames.toStdString();
    for (int channel = 0; channel < 14; ++channel) {
        const QByteArray digits = QByteArray::number(channel, 16).toUpper().rightJustified(2, '0');
        const QString frame = request + QString::fromLatin1(digits.toHex(' ').toUpper()) + "\n";
        EXPECT_EQ(frames.count(frame), 2) << frame.toStdString();
    }
    // Power(Hi) stepped from 200 (C8) to 201 (C9).
    EXPECT_EQ(frames.count(QStringLiteral("frame: EE EF E8 22 51 02 00 05 43 39\n")), 1)
        << frames.toStdString();
}

// A shop's record of one radio: connect, change an item, sweep one stage, run the TXF
// procedure, then save the report and the sweep data. The PDF's text holds the radio, the item
// before and after, the chosen setting and the whole TXF table; every page renders.
TEST_F(SessionTest, ServiceReportHoldsWhatWasDoneAndRenders) {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    ASSERT_FALSE(pdftotext.isEmpty() || pdftoppm.isEmpty()) << "poppler-utils is not installed";

    // Before a clone read there is nothing to report.
    SessionRun r = runSession(withConst({}), "report early.pdf\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 1: the menu item is not available"), std::string::npos) << r.err;

    const std::string pty = startSim({QStringLiteral("--plateau"), QStringLiteral("2:-40:7")});
    ASSERT_FALSE(pty.empty());
    // The sample radio's TXF value of band 12 (25 'C) is 129: confirmed at 131, then from
    // 131 + 60 at 196.
    r = runSession(withConst({QStringLiteral("--port"), QString::fromStdString(pty),
                              QStringLiteral("--timeout"), QStringLiteral("100")}),
                   "click Connect\n"
                   "wait-state connected\n"
                   "wait-line SQL Lev:\n"
                   "print\n"
                   "key Right on \"Power(Hi)\"\n"
                   "key Right on \"Power(Hi)\"\n"
                   "key Right on \"Power(Hi)\"\n"
                   "key Enter on \"BPF T2\"\n"
                   "wait-line Sweeping\n"
                   "wait-line \"BPF T2: -37 [#######-------------] [Enter] to Sweep\"\n"
                   "key Enter on TXF\n"
                   "wait-line \"Setting = 129\"\n"
                   "key Right on TXF\n"
                   "key Right on TXF\n"
                   "key Enter on TXF\n"
                   "wait-line \"Setting = 191\"\n"
                   "key Right shift on TXF\n"
                   "key Enter on TXF\n"
                   "wait-line \"TXF: [Enter] to Start\"\n"
                   "report build/report.pdf\n"
                   "sweep-data build/sweep.csv\n",
                   180000);
    ASSERT_TRUE(r.finished) << transcript(r);
    ASSERT_EQ(r.exitCode, 0) << r.err << transcript(r);
    const QDir build(QDir(dir.path()).filePath(QStringLiteral("build")));
    const QString pdf = build.filePath(QStringLiteral("report.pdf"));

    QProcess text;
    text.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(20000));
    ASSERT_EQ(text.exitCode(), 0);
    const QString report = QString::fromUtf8(text.readAllStandardOutput());
    auto has = [&report](const QString& pattern) {
        return QRegularExpression(pattern, QRegularExpression::MultilineOption)
            .match(report)
            .hasMatch();
    };
    EXPECT_TRUE(has(QStringLiteral("Model:\\s+2251"))) << report.toStdString();
    EXPECT_TRUE(has(QStringLiteral("Sub name:\\s+0200")));
    EXPECT_TRUE(has(QStringLiteral("Port:\\s+COM 1 \\(") +
                    QRegularExpression::escape(QString::fromStdString(pty))));

    // The item before and after, as the console showed it after the clone read.
    const QRegularExpression shown(QStringLiteral("^ Power\\(Hi\\): +(\\d+) "));
    const QRegularExpressionMatch before =
        shown.match(QString::fromStdString(lastSection(r, "console").at(1)));
    ASSERT_TRUE(before.hasMatch());
    const int powerBefore = before.captured(1).toInt();
    EXPECT_TRUE(has(QStringLiteral("^\\s*Power\\(Hi\\)\\s+49\\s+%1\\s+%2\\s+changed")
                        .arg(powerBefore)
                        .arg(powerBefore + 3)))
        << report.toStdString();
    EXPECT_TRUE(has(QStringLiteral("^\\s*BPF T2\\s+69\\s+-?\\d+\\s+-37\\s+changed")));
    EXPECT_TRUE(has(QStringLiteral("Chosen setting -37\\.")));
    EXPECT_TRUE(has(QStringLiteral("1st setting 131, 2nd setting 196")));

    // The TXF table as written: band, TEMPS range, degrees, value, slope.
    ConstTable rev20{}, rev10{};
    ASSERT_TRUE(ReadConstantsFile((kSourceDir / "data/Const.ini").string(), rev20, rev10));
    const int16_t temps = sim::thermistorRaw(25.0);
    EXPECT_TRUE(has(QStringLiteral("TEMPS reading %1 .*temperature band 12").arg(temps)));
    const TxfTable table = ComputeTxfTable(131, 196, rev20, DefaultTempBorders(), temps);
    const std::vector<TxfWrite> written = TxfFullPlan(table);
    ASSERT_EQ(written.size(), 40u);
    const QRegularExpression row(
        QStringLiteral("^\\s*(\\d+)\\s+\\d+-\\d+\\s+.*\\s(\\d+)\\s+([+-]?\\d+)\\s*$"));
    const QString txfPart = report.mid(report.indexOf(QStringLiteral("TXF procedure")));
    int rows = 0;
    for (const QString& line : txfPart.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = row.match(line);
        if (!m.hasMatch() || rows >= 20) continue;
        const int band = m.captured(1).toInt();
        ASSERT_EQ(band, rows) << line.toStdString();
        EXPECT_EQ(m.captured(2).toInt(), written[static_cast<size_t>(band)].value)
            << line.toStdString();
        EXPECT_EQ(m.captured(3).toInt(),
                  static_cast<int8_t>(written[static_cast<size_t>(20 + band)].value))
            << line.toStdString();
        ++rows;
    }
    EXPECT_EQ(rows, 20) << txfPart.toStdString();
    EXPECT_TRUE(has(QStringLiteral("BPF T2 Level:\\s+-37")));  // the parameter listing

    // Every page renders, and none is blank.
    QProcess render;
    render.start(pdftoppm, {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("30"), pdf,
                            build.filePath(QStringLiteral("page"))});
    ASSERT_TRUE(render.waitForFinished(30000));
    ASSERT_EQ(render.exitCode(), 0);
    const QStringList pages = build.entryList({QStringLiteral("page-*.png")}, QDir::Files);
    EXPECT_GE(pages.size(), 3);
    for (const QString& name : pages) {
        QImage page;
        ASSERT_TRUE(page.load(build.filePath(name))) << name.toStdString();
        EXPECT_LT(page.width(), page.height());  // portrait
        int dark = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) dark += qGray(page.pixel(x, y)) < 128;
        EXPECT_GT(dark, 100) << name.toStdString();
    }

    // The sweep data: one row per point, each with the sweep's result.
    QFile csv(build.filePath(QStringLiteral("sweep.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 257);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("sweep,stage,mode,lvin,point,setting,")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1,T2,single,100,1,-128,")));
    EXPECT_TRUE(lines[256].startsWith(QStringLiteral("1,T2,single,100,256,127,")));
    const QRegularExpression result(QStringLiteral(",yes,\\d+,-40,-34,-37$"));
    EXPECT_TRUE(result.match(lines[256]).hasMatch()) << lines[256].toStdString();
}

TEST_F(SessionTest, RefusedRadioIsReportedInAMessageAndTheProgramGoesBackToIdle) {
    const std::string pty =
        startSim({QStringLiteral("--no-pacing"), QStringLiteral("--fault-wrong-model")});
    ASSERT_FALSE(pty.empty());
    const SessionRun r = runSession(onRadio(pty, 20),
                                    "click Connect\n"
                                    "wait 0.5\n"
                                    "wait-state idle\n"
                                    "print\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(printed(r, "=== message box"));
    EXPECT_TRUE(printed(r, "=== window: SW-KV7 ADJ Rev.2.0 (idle, step 0)"));
    EXPECT_TRUE(printed(r, "port label: COM 1: CLOSE"));
}

TEST_F(SessionTest, MenusAndExitWithoutARadio) {
    const SessionRun r = runSession(withConst({}),
                                    "menu port 3\n"
                                    "menu release 2\n"
                                    "wait 0.2\n"
                                    "print\n"
                                    "menu exit\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(printed(r, "port label: COM 3: CLOSE"));
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back().find("> menu exit"), 12u) << r.out.back();
}

// The devices of this machine, one line of seven fields each (none at all is as good), and a
// script that gives COM 2 the radio's terminal: without it COM 2 would be a device that is not
// there, with it the port opens and the radio answers.
TEST_F(SessionTest, ListsThePortsAndAssignsADeviceByScript) {
    SessionRun r = runSession({QStringLiteral("--list-ports")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& line : r.out) {
        const QStringList fields = QString::fromStdString(line).split(QStringLiteral(" | "));
        ASSERT_EQ(fields.size(), 7) << line;
        EXPECT_TRUE(QFile::exists(fields[0])) << line;
        EXPECT_TRUE(fields[6] == QLatin1String("yes") || fields[6].startsWith("no: ")) << line;
    }

    const std::string pty = startSim({QStringLiteral("--no-pacing")});
    ASSERT_FALSE(pty.empty());
    r = runSession(withConst({QStringLiteral("--com"), QStringLiteral("2"),
                              QStringLiteral("--timeout"), QStringLiteral("20")}),
                   "device /dev/ttyUSB-not-here\n"
                   "device " +
                       pty +
                       "\n"
                       "click Connect\n"
                       "wait-state connected\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("line 1: There is no device /dev/ttyUSB-not-here. The assignment of "
                         "COM 2 is unchanged."),
              std::string::npos)
        << r.err;
    r = runSession(withConst({QStringLiteral("--com"), QStringLiteral("2")}), "device /dev/null\n");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("/dev/null is no serial device: it is not a terminal. The assignment "
                         "of COM 2 is unchanged."),
              std::string::npos)
        << r.err;
    r = runSession(withConst({QStringLiteral("--com"), QStringLiteral("2"),
                              QStringLiteral("--timeout"), QStringLiteral("20")}),
                   "device " + pty + "\nclick Connect\nwait-state connected\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err << transcript(r);
    EXPECT_TRUE(printed(r, "COM 2 now uses " + pty + ".")) << transcript(r);
}

TEST_F(SessionTest, FailuresEndWithTheirOwnExitCodes) {
    // A bad script is refused before the program starts, every bad line named.
    SessionRun r = runSession(withConst({}), "click Connect\nclik 1\nwait-state busy\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("<stdin>:2: unknown action 'clik'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("<stdin>:3: unknown state 'busy'"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());

    // A wait that is not met in time fails the run and shows the window as it is.
    r = runSession(withConst({}), "timeout 0.3\nwait-line CH No.\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 2: no line showing \"CH No.\" within 0.3 s"), std::string::npos)
        << r.err;
    EXPECT_TRUE(printed(r, "=== window: SW-KV7 ADJ Rev.2.0 (idle, step 0)"));

    // A button the technician cannot press.
    r = runSession(withConst({}), "click Reload\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 1: the button \"Reload(F5)\" is disabled"), std::string::npos)
        << r.err;

    // Without the constants file the program says so and does not start.
    r = runSession({QStringLiteral("--const"), QStringLiteral("missing/Const.ini")}, "print\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(printed(r, "| Cannot read 'Const.ini'."));

    r = runSession({QStringLiteral("--com"), QStringLiteral("9")});
    EXPECT_EQ(r.exitCode, 2);
}

// The File menu's image items through the session: a radio started from a saved image file,
// its image saved as read and after an adjustment, then the saved one written back and verified.
TEST_F(SessionTest, ImagesAreSavedAndWrittenBackThroughTheFileMenu) {
    const QDir d(dir.path());
    auto path = [&d](const char* name) { return d.filePath(QLatin1String(name)).toStdString(); };
    ImageFile start;
    start.image = sim::sampleImage();
    start.image[49] = 123;  // Power(Hi)
    start.info = {"2251", "0200", false, "2026-12-07T13:57:05Z", ImageKind::Current};
    std::string error;
    ASSERT_TRUE(writeImageFile(path("start.kv7img"), start, error)) << error;
    const std::string pty =
        startSim({QStringLiteral("--image"), QString::fromStdString(path("start.kv7img"))});
    ASSERT_FALSE(pty.empty());

    const SessionRun r =
        runSession(withConst({QStringLiteral("--port"), QString::fromStdString(pty),
                              QStringLiteral("--timeout"), QStringLiteral("60")}),
                   "menu keep-images on\n"
                   "click Connect\n"
                   "wait-state connected\n"
                   "save-image " +
                       path("as-read.kv7img") +
                       "\n"
                       "key Right on Power(Hi)\n"
                       "save-current " +
                       path("current.kv7img") +
                       "\n"
                       "write-image " +
                       path("as-read.kv7img") +
                       "\n"
                       "wait-line \"Power(Hi): 123\"\n",
                   150000);
    ASSERT_TRUE(r.finished) << transcript(r);
    ASSERT_EQ(r.exitCode, 0) << r.err << transcript(r);
    EXPECT_TRUE(printed(r, "=== question, answered OK")) << transcript(r);
    EXPECT_TRUE(printed(r, "| Image written and verified.")) << transcript(r);

    auto bytes = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return ByteString(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const ByteString asRead = bytes(path("as-read.kv7img"));
    ASSERT_GT(asRead.size(), 5120u);
    EXPECT_EQ(ByteString(asRead.begin(), asRead.begin() + 5120), start.image);
    ImageFile current;
    ASSERT_TRUE(readImageFile(path("current.kv7img"), false, current, error)) << error;
    EXPECT_EQ(current.info.kind, ImageKind::Current);
    EXPECT_EQ(current.image[49], 124);
}

// The radio is switched off after its read, as a technician's radio goes flat or off: the
// Connect that then fails keeps the record of the connection before it (its File entries still
// save, and the status line says where to), and at the end the record, holding a change in no
// saved report, is saved on its own into the reports folder, named by sub name and read time,
// with the change in its report.
TEST_F(SessionTest, RadioOffKeepsTheRecordAndTheEndSavesItsReport) {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    ASSERT_FALSE(pdftotext.isEmpty()) << "poppler-utils is not installed";
    const std::string pty = startSim({QStringLiteral("--off-after-read"), QStringLiteral("4")});
    ASSERT_FALSE(pty.empty());
    const QDir d(dir.path());
    const QString reports = d.filePath(QStringLiteral("kept"));
    const SessionRun r = runSession(onRadio(pty, 60) << QStringLiteral("--reports") << reports,
                                    "click Connect\n"
                                    "wait-state connected\n"
                                    "wait-line SQL Lev:\n"
                                    "key Right on \"Power(Hi)\"\n"
                                    "key Right on \"Power(Hi)\"\n"
                                    "wait 8\n"
                                    "click Connect\n"
                                    "wait-state idle\n"
                                    "sweep-data build/after.csv\n",
                                    180000);
    ASSERT_TRUE(r.finished) << transcript(r);
    ASSERT_EQ(r.exitCode, 0) << r.err << transcript(r);
    EXPECT_TRUE(printed(r, "| Cannot access COM port")) << transcript(r);
    EXPECT_TRUE(printed(r, "status: Sweep data saved to " +
                               d.filePath(QStringLiteral("build/after.csv")).toStdString()))
        << transcript(r);

    const QStringList kept = QDir(reports).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(kept.size(), 3) << transcript(r);
    const QRegularExpression name(QStringLiteral("^0200_\\d{8}T\\d{6}Z_alignment\\.csv$"));
    ASSERT_TRUE(name.match(kept[0]).hasMatch()) << kept.join(QLatin1Char(' ')).toStdString();
    const QString stem = kept[0].left(kept[0].indexOf(QStringLiteral("_alignment")));
    EXPECT_EQ(kept[1], stem + QStringLiteral("_report.pdf"));
    EXPECT_EQ(kept[2], stem + QStringLiteral("_sweep.csv"));
    const std::string pdf = QDir(reports).filePath(kept[1]).toStdString();
    EXPECT_TRUE(printed(r, "status: Unsaved service record of 0200 kept with its CSVs: " + pdf))
        << transcript(r);

    QProcess text;
    text.start(pdftotext,
               {QStringLiteral("-layout"), QString::fromStdString(pdf), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString report = QString::fromUtf8(text.readAllStandardOutput());
    const QRegularExpressionMatch change =
        QRegularExpression(
            QStringLiteral("^\\s*Power\\(Hi\\)\\s+49\\s+(\\d+)\\s+(\\d+)\\s+changed"),
            QRegularExpression::MultilineOption)
            .match(report);
    ASSERT_TRUE(change.hasMatch()) << report.toStdString();
    EXPECT_EQ(change.captured(2).toInt(), change.captured(1).toInt() + 2);
}

// The radio goes away while connected: the status line and the port label's tooltip name the
// device and the cause at once, before anything else is done at the window.
TEST_F(SessionTest, ARadioGoneIsNamedAtOnce) {
    const std::string pty = startSim({QStringLiteral("--no-pacing")});
    ASSERT_FALSE(pty.empty());
    const test::TerminalHold hold(pty);  // the path stays the gone radio's
    QProcess p;
    p.setProgram(QString::fromUtf8(kSessionProgram));
    p.setArguments(onRadio(pty, 20));
    p.setWorkingDirectory(dir.path());
    p.start();
    ASSERT_TRUE(p.waitForStarted(5000));
    p.write("click Connect\nwait-state connected\nwait 3\nprint\n");
    p.closeWriteChannel();
    QByteArray out;
    while (!out.contains("> wait 3") && p.waitForReadyRead(20000)) out += p.readAllStandardOutput();
    ASSERT_TRUE(out.contains("> wait 3")) << out.toStdString();
    sim.kill();
    ASSERT_TRUE(p.waitForFinished(30000));
    out += p.readAllStandardOutput();
    SessionRun r;
    for (const QByteArray& l : out.split('\n')) r.out.push_back(l.toStdString());
    const std::string gone = pty + " is gone: the cable was unplugged or the radio switched off.";
    // Said when it happened, before the print that follows the wait.
    const auto at = [&](const std::string& start) {
        return std::find_if(r.out.begin(), r.out.end(),
                            [&](const std::string& l) { return l.rfind(start, 0) == 0; }) -
               r.out.begin();
    };
    EXPECT_LT(at("status: " + gone), at("=== window")) << transcript(r);
    const std::vector<std::string> tip = lastSection(r, "port label tooltip");
    ASSERT_FALSE(tip.empty()) << transcript(r);
    EXPECT_EQ(tip[0], gone);
}

}  // namespace
}  // namespace kv7
