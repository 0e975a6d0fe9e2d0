#include <QtTest>

#include <set>

#include "outputparser.h"

namespace {

// Feeds reads to a parser as the item does and follows its progress bar,
// which starts at 0 and only takes the values the parser hands out.
struct Replay
{
    OutputParser parser;
    int bar = 0;
    int highestBar = -1;

    void feed(const QByteArray &read)
    {
        show(parser.processRead(read.constData(), read.size()));
    }
    void end() { show(parser.flush()); }
    void show(int value)
    {
        if (value < 0)
            return;
        bar = value;
        highestBar = std::max(highestBar, value);
    }
};

QByteArray readLog(const QString &name)
{
    QFile file(QStringLiteral(VANTOR_TEST_DATA_DIR "/jobs/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList distinctLines(const QByteArray &text)
{
    std::set<QString> lines;
    for (const QByteArray &line : text.split('\n')) {
        if (!line.isEmpty())
            lines.insert(QString::fromUtf8(line));
    }
    return QStringList(lines.begin(), lines.end());
}

} // namespace

class TestOutputParser : public QObject
{
    Q_OBJECT

private slots:
    void clock_data();
    void clock();
    void reads_data();
    void reads();
    void recordedLogsAnyReadSize_data();
    void recordedLogsAnyReadSize();
    void resetForgetsTheLastJob();
};

void TestOutputParser::clock_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("seconds");
    QTest::newRow("minutes and seconds") << QByteArray("00:01:23.45") << 83;
    QTest::newRow("one hour") << QByteArray("01:00:00.00") << 3600;
    QTest::newRow("exactly eight bytes") << QByteArray("00:00:07") << 7;
    QTest::newRow("seven bytes") << QByteArray("00:00:0") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
    QTest::newRow("not available") << QByteArray("N/A, start: 0.000000") << 0;
    QTest::newRow("negative position") << QByteArray("-00:00:00.05") << 0;
    QTest::newRow("atoi skips blanks, takes a sign") << QByteArray(" 1:-2  +3") << 3600 - 120 + 3;
    QTest::newRow("long digit runs saturate")
        << QByteArray("99999999999999999999:00:00") << std::numeric_limits<int>::max();
}

void TestOutputParser::clock()
{
    QFETCH(QByteArray, text);
    QFETCH(int, seconds);
    QCOMPARE(parseClock(text.constData()), seconds);
    QCOMPARE(parseClock(nullptr), -1);
}

void TestOutputParser::reads_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<bool>("exitedCleanly");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("bar");
    QTest::addColumn<bool>("done");
    QTest::addColumn<QByteArray>("errorText");

    const QByteArray dur120 = "  Duration: 00:02:00.00, start: 0.000000, bitrate: 1006 kb/s\n";
    QTest::newRow("duration and position in one read")
        << QList<QByteArray>{dur120 + "frame=  1 fps=0.0 time=00:00:30.00 bitrate=N/A\r"}
        << true << 120 << 30 << 25 << true << QByteArray();
    QTest::newRow("short job: first and last progress in one read")
        << QList<QByteArray>{"Duration: 00:00:05.00, s\n",
                             "time=00:00:00.09 a\rtime=00:00:05.00 b\r"}
        << true << 5 << 0 << 0 << true << QByteArray();
    QTest::newRow("half a second moves nothing")
        << QList<QByteArray>{dur120, "frame=  1 time=00:00:00.50 bitrate\r"}
        << true << 120 << 0 << 0 << false << QByteArray("模糊信息\n");
    QTest::newRow("one second of an hour shows 1")
        << QList<QByteArray>{"Duration: 01:00:00.00, start\n", "frame=1 time=00:00:01.00 x\r"}
        << true << 3600 << 1 << 1 << true << QByteArray();
    QTest::newRow("first of two progress lines")
        << QList<QByteArray>{dur120, "time=00:00:12.00 a\rtime=00:01:00.00 b\r"}
        << true << 120 << 12 << 10 << true << QByteArray();
    QTest::newRow("duration not available, closing stats")
        << QList<QByteArray>{"Duration: N/A, start: 0.000000\n", "time=00:00:09.94 x\r",
                             "[libx264 @ 0x1] kb/s:337.46\n"}
        << true << 0 << 9 << 0 << true << QByteArray();
    QTest::newRow("later usable duration")
        << QList<QByteArray>{"Duration: N/A, start\n", "Duration: 00:00:20.00, s\ntime=00:00:05.00 x\r"}
        << true << 20 << 5 << 25 << true << QByteArray();
    QTest::newRow("no position, still records the rest")
        << QList<QByteArray>{"Duration: 00:00:10.00, s\nIn: No such file or directory\n[x] kb/s:1\n"}
        << true << 10 << 0 << 0 << false << QByteArray("文件或文件夹不存在！\n");
    QTest::newRow("one trigger in three reads")
        << QList<QByteArray>{"a: Invalid data found when processing input\n",
                             "b: Invalid data found when processing input\n",
                             "c: Invalid data found when processing input\n"}
        << true << 0 << 0 << 0 << false
        << QByteArray("未识别的输入文件格式！\n未识别的输入文件格式！\n未识别的输入文件格式！\n");
    QTest::newRow("every trigger in one read, table order")
        << QList<QByteArray>{"frame decoding failed: x\nError opening filters!\n"
                             "Invalid data found when processing input\nNo such file or directory\n"}
        << true << 0 << 0 << 0 << false
        << QByteArray("文件或文件夹不存在！\n未识别的输入文件格式！\n过滤器内部错误！\n帧解码错误-Error\n");
    QTest::newRow("no progress at all")
        << QList<QByteArray>{"ffmpeg version 5.1\n", "Stream mapping:\n"}
        << true << 0 << 0 << 0 << false << QByteArray("模糊信息\n");
    QTest::newRow("position beyond the duration")
        << QList<QByteArray>{"Duration: 00:00:10.00, s\n", "time=00:00:20.00 x\r"}
        << true << 10 << 20 << 0 << true << QByteArray();
    QTest::newRow("duration marker at the very end")
        << QList<QByteArray>{"Duration:"} << true << -1 << 0 << 0 << false << QByteArray("模糊信息\n");
    QTest::newRow("error marker split across reads")
        << QList<QByteArray>{"Duration: 00:00:10.00, s\ntime=00:00:05.00 x\r[h264] frame decoding fa",
                             "iled: x\n[x] kb/s:1\n"}
        << true << 10 << 5 << 50 << false << QByteArray("帧解码错误-Error\n");
    QTest::newRow("duration split inside its value")
        << QList<QByteArray>{"  Duration: 00:0", "1:40.00, start\n", "time=00:00:50.00 x\r"}
        << true << 100 << 50 << 50 << true << QByteArray();
    QTest::newRow("position split inside its marker")
        << QList<QByteArray>{"Duration: 00:01:40.00, s\nframe=2 ti", "me=00:00:25.00 x\r"}
        << true << 100 << 25 << 25 << true << QByteArray();
    QTest::newRow("closing stats without a line end")
        << QList<QByteArray>{"[libx264 @ 0x1] kb/s:", "337.46"} << true << 0 << 0 << 0 << true
        << QByteArray();
    QTest::newRow("progress, then a failing exit")
        << QList<QByteArray>{dur120, "time=00:01:00.00 x\r", "[x] kb/s:1\n"}
        << false << 120 << 60 << 50 << false << QByteArray("模糊信息\n");
    QTest::newRow("known error and a failing exit")
        << QList<QByteArray>{"out.mp4: No such file or directory\n"}
        << false << 0 << 0 << 0 << false << QByteArray("文件或文件夹不存在！\n");
}

void TestOutputParser::reads()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(bool, exitedCleanly);
    QFETCH(int, duration);
    QFETCH(int, position);
    QFETCH(int, bar);
    QFETCH(bool, done);
    QFETCH(QByteArray, errorText);

    Replay replay;
    for (const QByteArray &read : qAsConst(reads))
        replay.feed(read);
    replay.end();
    QCOMPARE(replay.parser.durationSeconds, duration);
    QCOMPARE(replay.parser.positionSeconds, position);
    QCOMPARE(replay.bar, bar);
    QCOMPARE(replay.parser.verdict(exitedCleanly), done);
    QCOMPARE(replay.parser.errorText, errorText);
}

void TestOutputParser::recordedLogsAnyReadSize_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("duration");
    QTest::addColumn<bool>("percentShown");
    QTest::addColumn<bool>("done");
    QTest::addColumn<QStringList>("messages");

    const QStringList none;
    const QStringList invalid{QStringLiteral("未识别的输入文件格式！")};
    const QStringList missing{QStringLiteral("文件或文件夹不存在！")};
    QTest::newRow("x264 to mp4") << "x264_mp4_mid.log" << 30 << true << true << none;
    QTest::newRow("x265 video only, negative time") << "x265_videoonly_1080.log" << 10 << true << true << none;
    QTest::newRow("mpeg4 to avi, no closing stats") << "mpeg4_avi_mid.log" << 30 << true << true << none;
    QTest::newRow("raw h264, no duration") << "raw_h264_input.log" << 0 << false << true << none;
    QTest::newRow("damaged stream, 200 KB of warnings") << "noisy_dense_ts.log" << 30 << true << false << invalid;
    QTest::newRow("text file as mp4") << "text_as_mp4.log" << 0 << false << false << invalid;
    QTest::newRow("truncated after half") << "trunc_half_faststart_mp4.log" << 10 << true << false << invalid;
    QTest::newRow("missing input") << "missing_input.log" << 0 << false << false << missing;
    QTest::newRow("missing output folder") << "out_dir_missing.log" << 10 << false << false << missing;
    QTest::newRow("output is the input") << "out_equals_input.log" << 10 << false << false
                                         << QStringList{QStringLiteral("模糊信息")};
}

void TestOutputParser::recordedLogsAnyReadSize()
{
    QFETCH(QString, log);
    QFETCH(int, duration);
    QFETCH(bool, percentShown);
    QFETCH(bool, done);
    QFETCH(QStringList, messages);

    const QByteArray output = readLog(log);
    QVERIFY(!output.isEmpty());
    // Wherever the reads cut the text, the job comes out the same.
    for (const int size : {1, 7, 64, 4096, 8191}) {
        Replay replay;
        for (int at = 0; at < output.size(); at += size)
            replay.feed(output.mid(at, size));
        replay.end();
        const QByteArray where = "read size " + QByteArray::number(size);
        QVERIFY2(replay.parser.durationSeconds == duration, where);
        QStringList known = messages;
        known.removeAll(QStringLiteral("模糊信息"));
        QVERIFY2(distinctLines(replay.parser.errorText) == known, where);
        // Only the first position of a chunk counts. A percentage, and with
        // it the verdict of a job without closing statistics, needs the
        // progress lines to come in separate reads, as ffmpeg writes them
        // about every half second.
        if (size >= 100)
            continue;
        QVERIFY2((replay.highestBar > 0) == percentShown, where);
        QVERIFY2(replay.parser.verdict(true) == done, where);
        QVERIFY2(distinctLines(replay.parser.errorText) == messages, where);
    }
}

void TestOutputParser::resetForgetsTheLastJob()
{
    Replay replay;
    replay.feed("Duration: 00:00:10.00, s\ntime=00:00:05.00 x\rpartial No such fi");
    replay.parser.verdict(false);
    replay.parser.reset();
    // The unfinished line of the last job must not complete a marker now.
    replay.feed("le or directory\n[x] kb/s:1\n");
    replay.end();
    QCOMPARE(replay.parser.durationSeconds, 0);
    QCOMPARE(replay.parser.positionSeconds, 0);
    QVERIFY(replay.parser.verdict(true));
    QCOMPARE(replay.parser.errorText, QByteArray());
}

QTEST_GUILESS_MAIN(TestOutputParser)
#include "tst_outputparser.moc"
