// kv7-session with the simulated bench: the test set of kv7-radio-sim over TCP, its readings of
// the radio's transmitter, what the test-set window shows, and what the technician is told
// when the test set cannot be used.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/support/radio_sim_process.h"

namespace kv7 {
namespace {

using test::RadioSimProcess;

constexpr const char* kSession = test::kSessionProgram;
const QString kConst = test::sampleConstIni();

struct SessionOutput {
    int exitCode = -1;
    QString out;
    QString err;
    // The lines of the last section printed under `name` ("name, N lines:" then "| " lines).
    QStringList section(const QString& name) const {
        QStringList lines;
        bool in = false;
        for (const QString& l : out.split(QLatin1Char('\n'))) {
            if (l.startsWith(name + QLatin1Char(',')) || l.startsWith(name + " (hidden),")) {
                lines.clear();
                in = true;
            } else if (in && l.startsWith(QLatin1String("| "))) {
                lines << l.mid(2);
            } else {
                in = false;
            }
        }
        return lines;
    }
    double number(const QString& pattern) const {
        const QRegularExpressionMatch m = QRegularExpression(pattern).match(out);
        return m.hasMatch() ? m.captured(1).toDouble() : NAN;
    }
};

class TestSetSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (kSession == nullptr || test::kSimProgram == nullptr)
            GTEST_SKIP() << "kv7-session or kv7-radio-sim not built";
        ASSERT_TRUE(dir.isValid());
    }

    // The simulated radio with its test set; the test set's address.
    QString startBench(QStringList args) {
        if (!sim.start(test::kSimProgram,
                       args << QStringLiteral("--test-set") << QStringLiteral("0")))
            return {};
        const QString line = QString::fromStdString(sim.readLine());
        return line.startsWith(QLatin1String("test-set ")) ? line.mid(9) : QString();
    }

    SessionOutput session(const QStringList& args, const QString& script) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QString::fromUtf8(kSession),
                QStringList{QStringLiteral("--const"), kConst, QStringLiteral("--reports"),
                            dir.filePath(QStringLiteral("reports"))} +
                    args);
        p.write(script.toUtf8());
        p.closeWriteChannel();
        SessionOutput r;
        if (!p.waitForFinished(90000)) p.kill();
        p.waitForFinished(3000);
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QTemporaryDir dir;
    RadioSimProcess sim;
};

// One clone read selects the channel the keyed transmitter radiates on; the test set then
// reads it as the sample image sets it up (Power(Hi) 200, MOD 134), and a profile file that
// cannot be used is named with its line at start-up. Then every point of data/Align.ini is
// aligned over the same connection, and the report and the CSV keep what was done.
TEST_F(TestSetSessionTest, ReadsTheBenchAlignsEveryPointAndReportsIt) {
    const QString log = QDir(dir.path()).filePath(QStringLiteral("radio.log"));
    const QString address = startBench(
        {QStringLiteral("--ptt"), QStringLiteral("on"), QStringLiteral("--frame-log"), log});
    ASSERT_FALSE(address.isEmpty());
    const QDir profiles(dir.filePath(QStringLiteral("profiles")));
    ASSERT_TRUE(profiles.mkpath(QStringLiteral(".")));
    QFile bad(profiles.filePath(QStringLiteral("bad.testset")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("[TESTSET]\nName=Bad\n[POWER]\nQuery=MEAS:POW?\nUnit=dBW\n");
    bad.close();

    const SessionOutput r =
        session({QStringLiteral("--port"), QString::fromStdString(sim.slavePath()),
                 QStringLiteral("--timeout"), QStringLiteral("40"), QStringLiteral("--testsets"),
                 profiles.path()},
                "click Connect\nwait-state connected\ntest-set " + address +
                    "\nwait-reading power\nwait-reading frequency\n"
                    "wait-reading deviation\nprint\nalign MOD cancel\nalign all\n"
                    "align-data align.csv\n"
                    "report report.pdf\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("| These test-set profiles are not offered:\n"
                                      "| bad.testset line 5: unknown unit 'dBW'")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("  identity: KV7 Bench,Simulated Test Set,0,1.0\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("  profile: Generic SCPI\n")));

    EXPECT_NEAR(r.number(QStringLiteral("\\]   power (\\d+\\.\\d\\d) W\\n")), 4.69, 0.05);
    const double mhz = r.number(QStringLiteral("\\]   frequency (\\d+\\.\\d{6}) MHz \\(error"));
    EXPECT_GT(mhz, 100.0);
    // Compensated to a fraction of a ppm: well inside 1 kHz.
    EXPECT_LT(std::fabs(r.number(QStringLiteral("MHz \\(error ([+-]\\d+) Hz\\)\\n"))), 1000);
    EXPECT_NEAR(r.number(QStringLiteral("\\]   deviation (\\d+\\.\\d\\d) kHz\\n")), 2.17, 0.05);

    const QStringList window = r.section(QStringLiteral("test set"));
    ASSERT_EQ(window.size(), 5) << r.out.toStdString();
    EXPECT_EQ(window[0].toStdString(),
              "status: Connected to " + address.toStdString() + " (Generic SCPI)");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^power: \\d\\.\\d\\d W \\(3\\d\\.\\d dBm\\)$"))
                    .match(window[1])
                    .hasMatch())
        << window[1].toStdString();
    EXPECT_TRUE(window[3].startsWith(QStringLiteral("error: "))) << window[3].toStdString();
    EXPECT_TRUE(window[3].endsWith(QStringLiteral(" MHz)"))) << window[3].toStdString();

    EXPECT_TRUE(r.out.contains(QStringLiteral("MOD: CANCELLED by the technician.")))
        << r.out.toStdString();
    // Each point from the sample's values to its target, every one passing.
    for (const char* point : {"Power(Hi): PASS", "Power(LO): PASS", "MOD: PASS", "TXF: PASS"}) {
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(point))) << point << r.out.toStdString();
    }
    QFile csv(dir.filePath(QStringLiteral("align.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"));
    EXPECT_EQ(rows.value(0), QStringLiteral("run,point,step,value,reading,target,tolerance,unit,"
                                            "result"));
    EXPECT_GE(rows.size(), 9);
    EXPECT_EQ(rows.value(1), QStringLiteral("1,MOD,none,134,,3000,100,Hz,CANCELLED"));
    QProcess pdf;
    pdf.start(QStringLiteral("pdftotext"),
              {dir.filePath(QStringLiteral("report.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(pdf.waitForFinished(20000));
    const QString report = QString::fromUtf8(pdf.readAllStandardOutput());
    for (const char* text : {"Alignment", "Power(Hi): PASS", "Target 5.00 W, tolerance +/- 0.10 W",
                             "Before: value 200, reading 4.", "MOD: PASS",
                             // Cancelled at its question: not a failure, nothing changed.
                             "MOD: CANCELLED"}) {
        EXPECT_TRUE(report.contains(QString::fromUtf8(text))) << text << report.toStdString();
    }

    // Nothing of the test set went on the radio's line, nothing there was cut, and besides the
    // clone read only the console's own adjustment commands went out.
    QFile frames(log);
    ASSERT_TRUE(frames.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(frames.readAll());
    EXPECT_FALSE(text.contains(QStringLiteral("cut:"))) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("frame: EE EF E0 ")), 1) << text.toStdString();
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList bytes = line.split(QLatin1Char(' ')).mid(1);
        if (bytes.value(2) != QLatin1String("E8")) {
            EXPECT_TRUE(bytes.value(2) == QLatin1String("E0") ||
                        bytes.value(2) == QLatin1String("E2"))
                << line.toStdString();
            continue;
        }
        // The items' own commands (channel, SQL, power, MOD, DTCS, BPF), the one after the
        // clone read, monitor requests and the TXF table's entries.
        const int command = bytes.value(7).toInt(nullptr, 16);
        EXPECT_TRUE(command <= 5 || command == 7 || command == 8 || (command >= 11 && command < 56))
            << line.toStdString();
    }
}

TEST_F(TestSetSessionTest, AFailingTestSetFailsTheLineWithItsReason) {
    const struct {
        QStringList sim;  // the bench's options; none: no bench, nothing listens
        const char* script;
        const char* error;
        const char* status;  // the window's status line, printed at the failure
    } cases[] = {
        {{QStringLiteral("--test-set-silent")},
         "test-set ADDRESS\n",
         "line 1: The test set did not answer '*IDN?' within 2 s.",
         "status: The test set did not answer '*IDN?' within 2 s."},
        {{QStringLiteral("--ptt"), QStringLiteral("off")},
         "test-set ADDRESS\ntimeout 3\nwait-reading power\n",
         "line 3: no power reading within 3 s: No carrier",
         "status: No carrier"},
        {{},
         "test-set 127.0.0.1:1\n",
         "line 1: The test set cannot be reached: Connection refused.",
         "status: The test set cannot be reached: Connection refused."},
    };
    for (const auto& c : cases) {
        QString script = QString::fromUtf8(c.script);
        if (!c.sim.isEmpty()) {
            sim.stop();
            const QString address = startBench(c.sim);
            ASSERT_FALSE(address.isEmpty());
            script.replace(QStringLiteral("ADDRESS"), address);
        }
        const SessionOutput r = session({}, script);
        EXPECT_EQ(r.exitCode, 1) << c.script << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.error))) << r.err.toStdString();
        const QStringList window = r.section(QStringLiteral("test set"));
        EXPECT_EQ(window.value(0).toStdString(), c.status) << r.out.toStdString();
    }
}

// A point that cannot reach its target ends the script, unless continue-on-fail came before:
// then the alignment data is still written, and the end names the failed point and fails too.
TEST_F(TestSetSessionTest, AFailedPointEndsTheScriptUnlessItIsToGoOn) {
    const QDir bench(dir.filePath(QStringLiteral("bench")));
    ASSERT_TRUE(bench.mkpath(QStringLiteral(".")));
    ASSERT_TRUE(QFile::copy(kConst, bench.filePath(QStringLiteral("Const.ini"))));
    QFile targets(bench.filePath(QStringLiteral("Align.ini")));
    ASSERT_TRUE(targets.open(QIODevice::WriteOnly));
    // Far beyond the radio's power: two readings show it out of reach.
    targets.write("[Power(Hi)]\nTarget=50\nTolerance=1\nMaxSteps=2\n");
    targets.close();
    const QString address =
        startBench({QStringLiteral("--ptt"), QStringLiteral("on"), QStringLiteral("--no-pacing")});
    ASSERT_FALSE(address.isEmpty());

    const struct {
        const char* first;
        bool goesOn;
    } cases[] = {{"", false}, {"continue-on-fail\n", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        QFile::remove(dir.filePath(QStringLiteral("align.csv")));
        const SessionOutput r = session(
            {QStringLiteral("--port"), QString::fromStdString(sim.slavePath()),
             QStringLiteral("--const"), bench.filePath(QStringLiteral("Const.ini"))},
            QString::fromUtf8(c.first) + "click Connect\nwait-state connected\ntest-set \"" +
                address + "\"\nalign Power(Hi)\nalign-data align.csv\n");
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString() << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral(": Power(Hi) failed: "))) << r.err.toStdString();
        EXPECT_EQ(QFile::exists(dir.filePath(QStringLiteral("align.csv"))), c.goesOn);
        EXPECT_EQ(r.err.contains(QStringLiteral("kv7-session: failed points: Power(Hi) (line ")),
                  c.goesOn)
            << r.err.toStdString();
    }
}

}  // namespace
}  // namespace kv7
