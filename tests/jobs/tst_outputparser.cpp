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
    void sidesOfAPath_data();
    void sidesOfAPath();
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
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QByteArray>("reasons");
    QTest::addColumn<QByteArray>("failureText");
    // What a done job tells the user.
    QTest::addColumn<QByteArray>("warnings");

    const QByteArray none;
    const QByteArray vague = "模糊信息\n";
    const QByteArray damaged = "源文件有损坏的帧，已跳过\n";
    auto shortOf = [](const char *made, const char *declared) {
        return QByteArray("源文件不完整：只转换了前 ") + made + " 秒（共 " + declared + " 秒）\n";
    };
    const QByteArray dur120 = "  Duration: 00:02:00.00, start: 0.000000, bitrate: 1006 kb/s\n";
    QTest::newRow("duration and position in one read")
        << QList<QByteArray>{dur120 + "frame=  1 fps=0.0 time=00:00:30.00 bitrate=N/A\r"}
        << 120 << 30 << 25 << none << vague << shortOf("30.0", "120.0");
    QTest::newRow("short job: first and last progress in one read")
        << QList<QByteArray>{"Duration: 00:00:05.00, s\n",
                             "time=00:00:00.09 a\rtime=00:00:05.00 b\r"}
        << 5 << 0 << 0 << none << vague << none;
    QTest::newRow("half a second moves nothing")
        << QList<QByteArray>{dur120, "frame=  1 time=00:00:00.50 bitrate\r"}
        << 120 << 0 << 0 << none << vague << shortOf("0.5", "120.0");
    QTest::newRow("one second of an hour shows 1")
        << QList<QByteArray>{"Duration: 01:00:00.00, start\n", "frame=1 time=00:00:01.00 x\r"}
        << 3600 << 1 << 1 << none << vague << shortOf("1.0", "3600.0");
    QTest::newRow("first of two progress lines")
        << QList<QByteArray>{dur120, "time=00:00:12.00 a\rtime=00:01:00.00 b\r"}
        << 120 << 12 << 10 << none << vague << shortOf("60.0", "120.0");
    QTest::newRow("duration not available, closing stats")
        << QList<QByteArray>{"Duration: N/A, start: 0.000000\n", "time=00:00:09.94 x\r",
                             "[libx264 @ 0x1] kb/s:337.46\n"}
        << 0 << 9 << 0 << none << vague << none;
    QTest::newRow("later usable duration")
        << QList<QByteArray>{"Duration: N/A, start\n", "Duration: 00:00:20.00, s\ntime=00:00:05.00 x\r"}
        << 20 << 5 << 25 << none << vague << shortOf("5.0", "20.0");
    const QByteArray missing = "文件或文件夹不存在！\n";
    QTest::newRow("no position, still records the rest")
        << QList<QByteArray>{"Duration: 00:00:10.00, s\nIn: No such file or directory\n[x] kb/s:1\n"}
        << 10 << 0 << 0 << missing << missing << missing;
    const QByteArray unrecognised = "未识别的输入文件格式！\n";
    QTest::newRow("one trigger in three reads, one reason")
        << QList<QByteArray>{"a: Invalid data found when processing input\n",
                             "b: Invalid data found when processing input\n",
                             "c: Invalid data found when processing input\n"}
        << 0 << 0 << 0 << unrecognised << unrecognised << damaged;
    const QByteArray oldFour = "文件或文件夹不存在！\n未识别的输入文件格式！\n过滤器内部错误！\n帧解码错误-Error\n";
    QTest::newRow("every old trigger in one read, table order")
        << QList<QByteArray>{"frame decoding failed: x\nError opening filters!\n"
                             "Invalid data found when processing input\nNo such file or directory\n"}
        << 0 << 0 << 0 << oldFour << oldFour << missing + damaged + "过滤器内部错误！\n";
    const QByteArray frameError = "帧解码错误-Error\n";
    QTest::newRow("damaged AC-3 frame, ffmpeg's only line")
        << QList<QByteArray>{"frame=    1 fps=0.0 q=0.0 size=       0kB time=00:00:00.02 x    "
                             "Error while decoding stream #0:1: Error number -16976906 occurred\n"}
        << 0 << 0 << 0 << frameError << frameError << damaged;
    // A decoder's complaint names its cause in the words of an unreadable
    // file; it stays one damaged frame, however often it comes.
    const QByteArray decodeError = "[aac @ 0x5] Error while decoding stream #0:1: Invalid data found "
                                   "when processing input\n";
    QTest::newRow("decode error is a damaged frame, not an unrecognised input")
        << QList<QByteArray>{decodeError.repeated(150), "Duration: 00:00:30.00, s\n",
                             decodeError.repeated(150) + "time=00:00:30.00 x\r"}
        << 30 << 30 << 100 << frameError << frameError << damaged;
    QTest::newRow("no progress at all")
        << QList<QByteArray>{"ffmpeg version 5.1\n", "Stream mapping:\n"}
        << 0 << 0 << 0 << none << vague << none;
    QTest::newRow("position beyond the duration")
        << QList<QByteArray>{"Duration: 00:00:10.00, s\n", "time=00:00:20.00 x\r"}
        << 10 << 20 << 0 << none << vague << none;
    QTest::newRow("duration marker at the very end")
        << QList<QByteArray>{"Duration:"} << -1 << 0 << 0 << none << vague << none;
    QTest::newRow("error marker split across reads")
        << QList<QByteArray>{"Duration: 00:00:10.00, s\ntime=00:00:05.00 x\r[h264] frame decoding fa",
                             "iled: x\n[x] kb/s:1\n"}
        << 10 << 5 << 50 << frameError << frameError << damaged + shortOf("5.0", "10.0");
    QTest::newRow("duration split inside its value")
        << QList<QByteArray>{"  Duration: 00:0", "1:40.00, start\n", "time=00:00:50.00 x\r"}
        << 100 << 50 << 50 << none << vague << shortOf("50.0", "100.0");
    QTest::newRow("position split inside its marker")
        << QList<QByteArray>{"Duration: 00:01:40.00, s\nframe=2 ti", "me=00:00:25.00 x\r"}
        << 100 << 25 << 25 << none << vague << shortOf("25.0", "100.0");
    QTest::newRow("known error on an output path without paths set")
        << QList<QByteArray>{"out.mp4: No such file or directory\n"}
        << 0 << 0 << 0 << missing << missing << missing;

    // A source that ends before its declared length: by more than 5 % and
    // half a second, each to a tenth of a second.
    const QByteArray cut = "[matroska,webm @ 0x1] File ended prematurely\n";
    QTest::newRow("cut source, tenths rounded")
        << QList<QByteArray>{"  Duration: 00:00:17.46, start: 0.000000\n",
                             "frame=1 time=00:00:00.06 x\r" + cut,
                             "frame=9 Lsize=1kB time=00:00:08.64 bitrate=1\r"}
        << 17 << 8 << 47 << none << vague << shortOf("8.6", "17.5");
    QTest::newRow("short by under half a second")
        << QList<QByteArray>{"  Duration: 00:00:04.00, start\n", cut + "time=00:00:03.55 x\r"}
        << 4 << 3 << 75 << none << vague << none;
    QTest::newRow("short by under 5 %")
        << QList<QByteArray>{"  Duration: 00:01:40.00, start\n", "time=00:01:35.50 x\r"}
        << 100 << 95 << 95 << none << vague << none;
    QTest::newRow("a length only estimated")
        << QList<QByteArray>{"[mp3 @ 0x1] Estimating duration from bitrate, this may be inaccurate\n"
                             "  Duration: 00:00:10.00, start\n",
                             "time=00:00:03.00 x\r"}
        << 10 << 3 << 30 << none << vague << none;

    // ffmpeg 5.1's own lines for failures that had no reason of their own.
    const QByteArray initFailed = "Error initializing output stream 0:0 -- Error while opening encoder "
                                  "for output stream #0:0 - maybe incorrect parameters such as "
                                  "bit_rate, rate, width or height\nConversion failed!\n";
    const QByteArray noStreams = "源文件中没有可转换的音视频流！\n";
    QTest::newRow("source without streams")
        << QList<QByteArray>{"  Duration: 00:00:00.00, bitrate: N/A\nOutput #0, mp4, to 'out.mp4':\n"
                             "Output file #0 does not contain any stream\n"}
        << 0 << 0 << 0 << noStreams << noStreams << noStreams;
    const QByteArray oddSize = "所选视频编码不接受源文件的画面尺寸（宽和高须为偶数），请选择其他分辨率！\n";
    QTest::newRow("odd height for libx264")
        << QList<QByteArray>{"[libx264 @ 0x55c6b1b82800] height not divisible by 2 (160x121)\n" + initFailed}
        << 0 << 0 << 0 << oddSize << oddSize << oddSize;
    QTest::newRow("odd width for wmv2")
        << QList<QByteArray>{"[wmv2 @ 0x55e8327ea440] width must be multiple of 2\n" + initFailed}
        << 0 << 0 << 0 << oddSize << oddSize << oddSize;
    QTest::newRow("odd size for x265")
        << QList<QByteArray>{"x265 [error]: Picture height must be an integer multiple of the "
                             "specified chroma subsampling\n[libx265 @ 0x5558e03bd9c0] Cannot open "
                             "libx265 encoder.\n" + initFailed}
        << 0 << 0 << 0 << oddSize << oddSize << oddSize;
    const QByteArray channels = "源文件的声道太多，所选音频编码无法处理，请选择其他音频编码！\n";
    QTest::newRow("six channels for WMAv2")
        << QList<QByteArray>{"[wmav2 @ 0x5587af3e5680] too many channels: got 6, need 2 or fewer\n"
                             + initFailed}
        << 0 << 0 << 0 << channels << channels << channels;
    // .avi has no tag for Opus (or QDM2): its writer refuses the header
    // without a word, and the stream named then need not be the copied one.
    const QByteArray headerRefused = "Could not write header for output file #0 (incorrect codec "
                                     "parameters ?): Operation not permitted\n";
    const QByteArray copyRefused = "输出格式无法容纳复制的音视频流，请选择其他编码！\n";
    QTest::newRow("Opus copied into .avi, mapping first")
        << QList<QByteArray>{"Stream mapping:\n  Stream #0:0 -> #0:0 (h264 (native) -> h264 (libx264))\n"
                             "  Stream #0:1 -> #0:1 (copy)\n",
                             "[libx264 @ 0x1] profile High, level 1.0\n" + headerRefused
                                 + "Error initializing output stream 0:0 -- \nConversion failed!\n"}
        << 0 << 0 << 0 << copyRefused << copyRefused << copyRefused;
    QTest::newRow("everything copied, mapping after the refusal")
        << QList<QByteArray>{headerRefused + "Error initializing output stream 0:1 -- \n",
                             "Stream mapping:\n  Stream #0:0 -> #0:0 (copy)\n  Stream #0:1 -> #0:1 (copy)\n"}
        << 0 << 0 << 0 << copyRefused << copyRefused << copyRefused;
    const QByteArray flv = "FLV 格式不支持所选的视频编码！\n";
    QTest::newRow("the writer names the codec, the sound copied: its reason alone, in either order")
        << QList<QByteArray>{"Stream mapping:\n  Stream #0:1 -> #0:1 (copy)\n" + headerRefused,
                             "[flv @ 0x1] Codec mpeg4 is not supported in the official FLV\n"}
        << 0 << 0 << 0 << flv << flv << flv;
    QTest::newRow("header refused, nothing copied: the earlier line is the cause")
        << QList<QByteArray>{"Stream mapping:\n  Stream #0:0 -> #0:0 (h264 (native) -> h264 (libx264))\n",
                             headerRefused + "Error initializing output stream 0:0 -- \nConversion failed!\n"}
        << 0 << 0 << 0 << none << "模糊信息：" + headerRefused << none;

    // What the source says about itself is not ffmpeg speaking.
    QTest::newRow("trigger as a title")
        << QList<QByteArray>{"Input #0, matroska,webm, from 'in.mkv':\n  Metadata:\n"
                             "    title           : No such file or directory\n"
                             "    ENCODER         : Lavf59.27.100\n"
                             "  Duration: 00:00:10.00, start: 0.000000, bitrate: 38 kb/s\n"}
        << 10 << 0 << 0 << none << vague << none;
    QTest::newRow("trigger in stream metadata, across reads")
        << QList<QByteArray>{"  Stream #0:0: Video: h264\n    Metadata:\n",
                             "      title           : Invalid data found when processing input\n"
                             "                      : Error opening filters\n",
                             "Stream mapping:\nframe=1 time=00:00:01.00 x\r"}
        << 0 << 1 << 0 << none << vague << none;
    QTest::newRow("trigger in a file name")
        << QList<QByteArray>{"Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'No such file or directory.mp4':\n"
                             "Output #0, mp4, to 'Invalid data found when processing input.mp4':\n"}
        << 0 << 0 << 0 << none << vague << none;
    QTest::newRow("a real error after a metadata block")
        << QList<QByteArray>{"  Metadata:\n    title : x\nin.mp4: Invalid data found when processing input\n"}
        << 0 << 0 << 0 << unrecognised << unrecognised << damaged;
    QTest::newRow("unknown failure names ffmpeg's last error line")
        << QList<QByteArray>{"[mp4 @ 0x55d] Could not write header for output file #0 (incorrect codec "
                             "parameters ?): Invalid argument\n",
                             "[aac @ 0x56] Qavg: 118.198\nConversion failed!\n"}
        << 0 << 0 << 0 << none
        << QByteArray("模糊信息：Could not write header for output file #0 (incorrect codec "
                      "parameters ?): Invalid argument\n")
        << none;
}

void TestOutputParser::reads()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(int, duration);
    QFETCH(int, position);
    QFETCH(int, bar);
    QFETCH(QByteArray, reasons);
    QFETCH(QByteArray, failureText);
    QFETCH(QByteArray, warnings);

    Replay replay;
    for (const QByteArray &read : qAsConst(reads))
        replay.feed(read);
    replay.end();
    QCOMPARE(replay.parser.durationSeconds, duration);
    QCOMPARE(replay.parser.positionSeconds, position);
    QCOMPARE(replay.bar, bar);
    QCOMPARE(replay.parser.reasons, reasons);

    // A clean exit that wrote a file is done whatever was said on the way;
    // anything else fails with the reasons, or with a vague one.
    QVERIFY(replay.parser.verdict(true, true));
    QCOMPARE(replay.parser.errorText, QByteArray());
    QCOMPARE(replay.parser.warningText, warnings);
    for (const bool clean : {true, false}) {
        QVERIFY(!replay.parser.verdict(clean, false));
        QCOMPARE(replay.parser.errorText, failureText);
    }
    QVERIFY(!replay.parser.verdict(false, true));
    QCOMPARE(replay.parser.warningText, QByteArray());
}

void TestOutputParser::sidesOfAPath_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reasons");
    const QByteArray in = "/v/Invalid data found when processing input.mp4";
    const QByteArray out = "/o/Vantor转码-x.mp4";
    QTest::newRow("missing source") << in + ": No such file or directory\n"
                                    << QByteArray("文件或文件夹不存在！\n");
    QTest::newRow("missing output folder") << out + ": No such file or directory\n"
                                           << QByteArray("输出文件夹不存在！\n");
    QTest::newRow("unreadable source") << in + ": Permission denied\n"
                                       << QByteArray("没有访问权限！\n");
    QTest::newRow("read-only output folder") << out + ": Permission denied\n"
                                             << QByteArray("输出文件夹没有写入权限！\n");
    QTest::newRow("output name too long") << out + ": File name too long\n"
                                          << QByteArray("输出文件名太长！\n");
    // The .avi writer refusing copied H.264 says "Invalid data found" twice,
    // about packets, not the source.
    QTest::newRow("writer refuses a copied stream")
        << "[avi @ 0x55f7] H.264 bitstream malformed, no startcode found, use the video "
           "bitstream filter 'h264_mp4toannexb' to fix it\n"
           "av_interleaved_write_frame(): Invalid data found when processing input\n"
           "Error writing trailer of " + out + ": Invalid data found when processing input\n"
        << QByteArray("输出格式无法容纳复制的音视频流，请选择其他编码！\n");
    QTest::newRow("trailer of another file is not the output")
        << QByteArray("Error writing trailer of /o/other.mp4: Invalid data found when processing input\n")
        << QByteArray("未识别的输入文件格式！\n");
    QTest::newRow("full disk on two sides, one message")
        << "av_interleaved_write_frame(): No space left on device\n" + out
               + ": No space left on device\n"
        << QByteArray("输出目录磁盘空间不足！\n");
}

void TestOutputParser::sidesOfAPath()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reasons);
    OutputParser parser;
    parser.reset("/v/Invalid data found when processing input.mp4", "/o/Vantor转码-x.mp4");
    parser.processRead(line.constData(), line.size());
    parser.flush();
    QCOMPARE(parser.reasons, reasons);
}

void TestOutputParser::recordedLogsAnyReadSize_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QByteArray>("outputPath");
    QTest::addColumn<int>("duration");
    QTest::addColumn<bool>("percentShown");
    QTest::addColumn<QStringList>("messages");

    const QStringList none;
    const QStringList invalid{QStringLiteral("未识别的输入文件格式！")};
    // Their "Invalid data found when processing input" is a decoder's, about
    // a frame.
    const QStringList damaged{QStringLiteral("帧解码错误-Error")};
    const QByteArray noPath;
    QTest::newRow("x264 to mp4") << "x264_mp4_mid.log" << noPath << 30 << true << none;
    QTest::newRow("x265 video only, negative time") << "x265_videoonly_1080.log" << noPath << 10 << true << none;
    QTest::newRow("mpeg4 to avi, no closing stats") << "mpeg4_avi_mid.log" << noPath << 30 << true << none;
    QTest::newRow("raw h264, no duration") << "raw_h264_input.log" << noPath << 0 << false << none;
    QTest::newRow("damaged stream, 200 KB of warnings") << "noisy_dense_ts.log" << noPath << 30 << true << damaged;
    QTest::newRow("text file as mp4") << "text_as_mp4.log" << noPath << 0 << false << invalid;
    QTest::newRow("truncated after half") << "trunc_half_faststart_mp4.log" << noPath << 10 << true << damaged;
    QTest::newRow("missing input") << "missing_input.log" << noPath << 0 << false
                                   << QStringList{QStringLiteral("文件或文件夹不存在！")};
    QTest::newRow("missing output folder")
        << "out_dir_missing.log" << QByteArray("/data/out/errors/no_such_dir/out.mp4") << 10 << false
        << QStringList{QStringLiteral("输出文件夹不存在！")};
    QTest::newRow("output is the input") << "out_equals_input.log" << noPath << 10 << false
                                         << QStringList{QStringLiteral("输出文件与源文件相同！")};
    QTest::newRow("read-only output folder")
        << "out_readonly_as_nobody.log" << QByteArray("/data/out/errors/ro/ro_nobody.mp4") << 10
        << false << QStringList{QStringLiteral("输出文件夹没有写入权限！")};
    QTest::newRow("mpeg4 into flv") << "flv_mpeg4.log" << noPath << 10 << false
                                    << QStringList{QStringLiteral("FLV 格式不支持所选的视频编码！")};
    QTest::newRow("mp3 at 24000 Hz into flv") << "flv_mp3_24000.log" << noPath << 10 << false
                                              << QStringList{QStringLiteral("FLV 格式不支持所选的音频采样率！")};
    QTest::newRow("output name too long") << "name_too_long.log" << noPath << 10 << false
                                          << QStringList{QStringLiteral("文件名太长！")};
    QTest::newRow("full disk") << "disk_full.log" << noPath << 10 << true
                               << QStringList{QStringLiteral("输出目录磁盘空间不足！")};
}

void TestOutputParser::recordedLogsAnyReadSize()
{
    QFETCH(QString, log);
    QFETCH(QByteArray, outputPath);
    QFETCH(int, duration);
    QFETCH(bool, percentShown);
    QFETCH(QStringList, messages);

    const QByteArray output = readLog(log);
    QVERIFY(!output.isEmpty());
    // Wherever the reads cut the text, the job comes out the same.
    for (const int size : {1, 7, 64, 4096, 8191}) {
        Replay replay;
        replay.parser.reset(QByteArray(), outputPath);
        for (int at = 0; at < output.size(); at += size)
            replay.feed(output.mid(at, size));
        replay.end();
        const QByteArray where = "read size " + QByteArray::number(size);
        QVERIFY2(replay.parser.durationSeconds == duration, where);
        QVERIFY2(distinctLines(replay.parser.reasons) == messages, where);
        QVERIFY2(replay.parser.verdict(false, false) == false, where);
        if (messages.isEmpty())
            QVERIFY2(replay.parser.errorText.startsWith("模糊信息"), where);
        else
            QVERIFY2(distinctLines(replay.parser.errorText) == messages, where);
        // Only the first position of a chunk counts, so a percentage needs the
        // progress lines to come in separate reads, as ffmpeg writes them
        // about every half second.
        if (size < 100)
            QVERIFY2((replay.highestBar > 0) == percentShown, where);
    }
}

void TestOutputParser::resetForgetsTheLastJob()
{
    Replay replay;
    replay.feed("Duration: 00:00:10.00, s\ntime=00:00:05.00 x\r  Metadata:\n    partial No such fi");
    replay.parser.verdict(false, false);
    replay.parser.reset();
    // The unfinished line of the last job must not complete a marker now.
    replay.feed("le or directory\n[x] kb/s:1\n");
    replay.end();
    QCOMPARE(replay.parser.durationSeconds, 0);
    QCOMPARE(replay.parser.positionSeconds, 0);
    QCOMPARE(replay.parser.reasons, QByteArray());
    // Nor does the metadata block of the last job hide this one's errors.
    replay.feed("    x: No such file or directory\n");
    QCOMPARE(replay.parser.reasons, QByteArray("文件或文件夹不存在！\n"));
    QVERIFY(replay.parser.verdict(true, true));
    QCOMPARE(replay.parser.errorText, QByteArray());
}

QTEST_GUILESS_MAIN(TestOutputParser)
#include "tst_outputparser.moc"
