#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "catalogue.h"
#include "processes.h"
#include "scripts.h"
#include "transcodejob.h"

// A job without any widget, under QCoreApplication: a fake transcoder
// replays a recorded ffmpeg 5.1 transcript, once in one write and once cut
// into two writes at many offsets, among them one inside each marker the
// parser looks for. However the output is cut, the job ends the same way.
class TestTranscodeJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cutAnywhere_data();
    void cutAnywhere();

private:
    struct Outcome
    {
        int state = -1;
        QByteArray errorText;
        QByteArray warningText;
        QList<int> percents;
    };
    Outcome run(const QByteArray &program);

    QTemporaryDir dir;
    QByteArray source;
};

namespace {

const char *const markers[] = {
    "Duration:",
    "time=",
    "kb/s:",
    "No such file or directory",
    "Invalid data found when processing input",
};

QByteArray transcript(const QString &name)
{
    QFile file(QStringLiteral(VANTOR_TEST_DATA_DIR "/jobs/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The percentages the transcript's own progress records give.
QList<int> recordedPercents(const QByteArray &log)
{
    const QRegularExpression duration(QStringLiteral("Duration: (\\d\\d):(\\d\\d):(\\d\\d)"));
    const QRegularExpression position(QStringLiteral("time=(\\d\\d):(\\d\\d):(\\d\\d)"));
    auto seconds = [](const QRegularExpressionMatch &m) {
        return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt();
    };
    const QString text = QString::fromUtf8(log);
    const int length = seconds(duration.match(text));
    QList<int> percents;
    for (auto it = position.globalMatch(text); it.hasNext();) {
        const int at = seconds(it.next());
        if (length > 0 && at > 0)
            percents << qMax(1, at * 100 / length);
    }
    return percents;
}

} // namespace

void TestTranscodeJob::initTestCase()
{
    QVERIFY(dir.isValid());
    initCatalogue();
    outputDir = dir.path().toUtf8();
    source = (dir.path() + "/clip.mp4").toUtf8();
    QFile clip(QString::fromUtf8(source));
    QVERIFY(clip.open(QIODevice::WriteOnly));
    clip.write("source");
}

void TestTranscodeJob::cleanup()
{
    QCOMPARE(childProcesses().size(), 0);
}

void TestTranscodeJob::cutAnywhere_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("errorText");
    QTest::addColumn<QByteArray>("warningText");

    struct Case
    {
        const char *log;
        int exitStatus;
        int state;
        const char *errorText;
        const char *warningText;
    };
    const Case cases[] = {
        {"x264_mp4_mid.log", 0, ConvertDone, "", ""},
        // ffmpeg went on past the damage and exited 0 with a file.
        {"trunc_half_faststart_mp4.log", 0, ConvertDone, "", "未识别的输入文件格式！\n帧解码错误-Error\n"},
        {"out_dir_missing.log", 1, ConvertError, "文件或文件夹不存在！\n", ""},
    };
    for (const Case &c : cases) {
        const QByteArray log = transcript(QLatin1String(c.log));
        QVERIFY2(!log.isEmpty(), c.log);
        auto row = [&](const QByteArray &what, int cut) {
            QTest::addRow("%s, %s", c.log, what.constData())
                << QString::fromLatin1(c.log) << c.exitStatus << cut << c.state
                << QByteArray(c.errorText) << QByteArray(c.warningText);
        };
        row("whole", -1);
        for (const char *marker : markers) {
            const int at = log.indexOf(marker);
            if (at >= 0)
                row(QByteArray("inside ") + marker, at + int(qstrlen(marker)) / 2);
        }
        constexpr int evenCuts = 14;
        for (int i = 1; i <= evenCuts; ++i) {
            const int cut = int(qint64(log.size()) * i / (evenCuts + 1));
            row("at byte " + QByteArray::number(cut), cut);
        }
    }
}

TestTranscodeJob::Outcome TestTranscodeJob::run(const QByteArray &program)
{
    Outcome outcome;
    TranscodeJob job;
    if (job.setInput(source, makeAVSettings(0, 1, 1)) != ResultOk)
        return outcome;
    job.setTranscoderProgram(program);
    QSignalSpy progress(&job, &TranscodeJob::progressChanged);
    QSignalSpy finished(&job, &TranscodeJob::finished);
    if (job.start(job.plannedOutputPath()) != ResultOk)
        return outcome;
    if (!finished.wait(10000) || finished.count() != 1)
        return outcome;
    outcome.state = job.state();
    outcome.errorText = job.errorText();
    outcome.warningText = job.warningText();
    for (const QList<QVariant> &signal : qAsConst(progress))
        outcome.percents << signal.first().toInt();
    return outcome;
}

void TestTranscodeJob::cutAnywhere()
{
    QFETCH(QString, log);
    QFETCH(int, exitStatus);
    QFETCH(int, cut);
    QFETCH(int, state);
    QFETCH(QByteArray, errorText);
    QFETCH(QByteArray, warningText);

    const QByteArray file = QByteArray(VANTOR_TEST_DATA_DIR "/jobs/") + log.toUtf8();
    // Like ffmpeg, the replay leaves a file under the last argument.
    QByteArray body = "for a; do out=$a; done\nprintf x > \"$out\"\n";
    if (cut < 0) {
        body += "cat '" + file + "'\n";
    } else {
        // The pause is longer than anything the job waits before reading, so
        // the two pieces arrive as two reads.
        body += "head -c " + QByteArray::number(cut) + " '" + file + "'\n"
               "sleep 0.25\n"
               "tail -c +" + QByteArray::number(cut + 1) + " '" + file + "'\n";
    }
    body += "exit " + QByteArray::number(exitStatus) + "\n";
    const Outcome outcome = run(writeScript(dir.path(), QStringLiteral("replay"), body));

    QCOMPARE(outcome.state, state);
    QCOMPARE(outcome.errorText, errorText);
    QCOMPARE(outcome.warningText, warningText);
    QVERIFY(!outcome.percents.isEmpty());
    QCOMPARE(outcome.percents.first(), 0);
    // A read with several progress records shows the first, so which ones
    // appear depends on the cut; each one shown is a recorded one, in order.
    QList<int> shown = outcome.percents.mid(1);
    if (state == ConvertDone) {
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.takeLast(), 100);
    }
    const QList<int> recorded = recordedPercents(transcript(log));
    int from = 0;
    for (int percent : qAsConst(shown)) {
        const int at = recorded.indexOf(percent, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("percent %1 out of order").arg(percent)));
        from = at;
    }
}

QTEST_GUILESS_MAIN(TestTranscodeJob)
#include "tst_transcodejob.moc"
