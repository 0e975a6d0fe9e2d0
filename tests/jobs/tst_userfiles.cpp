#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "avsettings.h"
#include "catalogue.h"
#include "clips.h"
#include "folderexpander.h"
#include "inputitem.h"
#include "processes.h"
#include "settings.h"

Q_DECLARE_METATYPE(AVSettings)

// The files users keep and the ways their conversions go wrong, through
// real jobs with the installed ffmpeg: what the row says, and what is left
// on disk.

namespace {

constexpr int conversionTimeoutMs = 120000;

QStringList lavfi(int seconds, const QString &size = QStringLiteral("160x120"), int sampleRate = 44100)
{
    const QString length = QString::number(seconds);
    return {"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25:duration=" + length,
            "-f", "lavfi", "-i",
            "sine=frequency=440:sample_rate=" + QString::number(sampleRate) + ":duration=" + length,
            "-shortest"};
}

QByteArray box(const char *type, const QByteArray &payload)
{
    QByteArray size(4, '\0');
    qToBigEndian<quint32>(quint32(8 + payload.size()), size.data());
    return size + type + payload;
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// An .mp4 whose movie holds its header and no track at all.
QByteArray mp4WithoutStreams()
{
    const QByteArray matrix = bigEndian(0x10000) + QByteArray(12, '\0') + bigEndian(0x10000)
                              + QByteArray(12, '\0') + bigEndian(0x40000000);
    const QByteArray header = QByteArray(12, '\0') + bigEndian(1000) + bigEndian(0) + bigEndian(0x10000)
                              + QByteArray("\x01\x00", 2) + QByteArray(10, '\0') + matrix
                              + QByteArray(24, '\0') + bigEndian(1);
    return box("ftyp", "isom" + bigEndian(512) + "isomiso2mp41") + box("moov", box("mvhd", header));
}

// While it lives, the transcoders started get a disk that is full from a
// given size of their partial file on.
class FullDisk final
{
public:
    explicit FullDisk(qint64 room)
    {
        qputenv("LD_PRELOAD", VANTOR_FULL_DISK_SHIM);
        qputenv("VANTOR_FULL_PATH_PART", ".part.");
        qputenv("VANTOR_FULL_AT", QByteArray::number(room));
    }
    ~FullDisk()
    {
        qunsetenv("LD_PRELOAD");
        qunsetenv("VANTOR_FULL_PATH_PART");
        qunsetenv("VANTOR_FULL_AT");
    }
    Q_DISABLE_COPY_MOVE(FullDisk)
};

} // namespace

class TestUserFiles final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void userFile_data();
    void userFile();

private:
    // Converts a listed file, on a disk full from room bytes of the partial
    // file on unless room is -1; the job's row once it has ended.
    std::unique_ptr<InputItem> convert(const QString &path, const AVSettings &settings,
                                       qint64 room = -1);

    QTemporaryDir dir;
    QString sources;
    QString out;
};

void TestUserFiles::initTestCase()
{
    QVERIFY(dir.isValid());
    initCatalogue();
    sources = dir.filePath(QStringLiteral("downloads"));
    QVERIFY(QDir().mkpath(sources + "/phone"));
    const auto source = [this](const QString &name) { return sources + '/' + name; };
    const QStringList x264 = {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
    QVERIFY(runFfmpeg(lavfi(1) + QStringList{"-c:v", "libvpx", "-c:a", "libvorbis", source("clip.webm")}));
    QVERIFY(runFfmpeg(lavfi(1, QStringLiteral("176x144"))
                   + QStringList{"-c:v", "h263", "-c:a", "aac", source("phone/clip.3gp")}));
    QVERIFY(runFfmpeg(lavfi(2) + x264 + QStringList{"-c:a", "aac", "-f", "mpegts", source("clip.ts")}));
    QVERIFY(runFfmpeg(lavfi(2, QStringLiteral("176x144"))
                   + QStringList{"-c:v", "rv10", "-c:a", "ac3", "-f", "rm", source("real.rmvb")}));
    QVERIFY(runFfmpeg(lavfi(1, QStringLiteral("160x120"), 48000) + x264
                   + QStringList{"-c:a", "libopus", source("opus.mkv")}));
    QVERIFY(runFfmpeg(lavfi(4) + x264 + QStringList{"-c:a", "aac", source("whole.mkv")}));
    QFile empty(source("empty.mp4"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.write(mp4WithoutStreams());
    empty.close();
    // A transfer that stopped at half the file.
    QFile whole(source("whole.mkv"));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    QFile cut(source("cut.mkv"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 2));
    // Not a video: a folder lists it never.
    QFile notes(source("notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
}

void TestUserFiles::init()
{
    out = dir.filePath(QStringLiteral("out"));
    QDir(out).removeRecursively();
    QVERIFY(QDir().mkpath(out));
    outputDir = out.toUtf8();
}

void TestUserFiles::cleanup()
{
    QCOMPARE(childProcesses().size(), 0);
}

std::unique_ptr<InputItem> TestUserFiles::convert(const QString &path, const AVSettings &settings,
                                                   qint64 room)
{
    auto item = std::make_unique<InputItem>(nullptr);
    QSignalSpy done(item.get(), &InputItem::ItemConvertDone);
    if (item->setInputFile(path.toUtf8(), settings) != ResultOk)
        return nullptr;
    {
        // The transcoder keeps the environment it starts with.
        const auto fullDisk = room >= 0 ? std::make_unique<FullDisk>(room) : nullptr;
        if (item->startConvert() != ResultOk)
            return nullptr;
    }
    if (!QTest::qWaitFor([&done] { return done.count() > 0; }, conversionTimeoutMs))
        return nullptr;
    return item;
}

void TestUserFiles::userFile_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<AVSettings>("settings");
    // The output's disk fills this many bytes before the size the same job
    // reaches on a free one; 0 for a free disk.
    QTest::addColumn<int>("bytesShort");
    QTest::addColumn<int>("state");
    // The whole error text, or the warnings of a done job; a captured number
    // is the length the kept file has.
    QTest::addColumn<QString>("text");

    const AVSettings mp4 = makeAVSettings(0, 1, 1);
    const QString none;
    const QString copyRefused =
        QRegularExpression::escape(QStringLiteral("输出格式无法容纳复制的音视频流，请选择其他编码！\n"));
    QTest::newRow(".webm from a folder") << "clip.webm" << mp4 << 0 << ConvertDone << none;
    QTest::newRow(".3gp from a subfolder") << "phone/clip.3gp" << mp4 << 0 << ConvertDone << none;
    // Copied, and read back as whole.
    QTest::newRow(".ts from a folder, copied into .mp4")
        << "clip.ts" << chosen(0, 6, 3) << 0 << ConvertDone << none;
    // ffmpeg writes it with no codec tag and exits 0.
    QTest::newRow("RealVideo 1 copied into .avi")
        << "real.rmvb" << chosen(2, 6, 3) << 0 << ConvertError << copyRefused;
    QTest::newRow(".mp4 without streams")
        << "empty.mp4" << mp4 << 0 << ConvertError
        << QRegularExpression::escape(QStringLiteral("源文件中没有可转换的音视频流！\n"));
    QTest::newRow("Opus copied into .avi") << "opus.mkv" << chosen(2, -1, 3) << 0 << ConvertError
                                           << copyRefused;
    QTest::newRow(".mkv cut at half its bytes")
        << "cut.mkv" << mp4 << 0 << ConvertDone
        << QStringLiteral("源文件不完整：只转换了前 (\\d+\\.\\d) 秒（共 4\\.0 秒）\n");
    // ffmpeg 5.1 then exits 0 with only "Error writing trailer" and "Error
    // closing file" to say so.
    QTest::newRow("disk full at the file's end")
        << "whole.mkv" << mp4 << 4096 << ConvertError
        << QRegularExpression::escape(QStringLiteral("输出目录磁盘空间不足！\n"));
}

void TestUserFiles::userFile()
{
    QFETCH(QString, source);
    QFETCH(AVSettings, settings);
    QFETCH(int, bytesShort);
    QFETCH(int, state);
    QFETCH(QString, text);

    // Listed as the window lists a dropped folder.
    FolderExpander expander(
        [](const QString &name) { return isAcceptedInputSuffix(QFileInfo(name).suffix().toUtf8()); });
    const QStringList listed = expander.expand({sources});
    QVERIFY(!listed.contains(sources + "/notes.txt"));
    const QString path = sources + '/' + source;
    QVERIFY2(listed.contains(path), qPrintable(listed.join(' ')));

    qint64 room = -1;
    if (bytesShort > 0) {
        const auto free = convert(path, settings);
        QVERIFY(free);
        QCOMPARE(free->convertState(), ConvertDone);
        room = QFileInfo(QString::fromUtf8(free->outputPath())).size() - bytesShort;
        QVERIFY(QFile::remove(QString::fromUtf8(free->outputPath())));
    }
    const auto item = convert(path, settings, room);
    QVERIFY(item);

    QCOMPARE(item->convertState(), state);
    const QByteArray said = state == ConvertDone ? item->warningText() : item->errorText();
    const QRegularExpressionMatch match =
        QRegularExpression(QRegularExpression::anchoredPattern(text)).match(QString::fromUtf8(said));
    QVERIFY2(match.hasMatch(), said.constData());
    QCOMPARE(item->findChild<QLabel *>("status")->toolTip(), QString::fromUtf8(said).trimmed());
    QCOMPARE(item->ranOutOfSpace(), bytesShort > 0);

    // The kept file under its final name and nothing else, or nothing.
    const QStringList left = QDir(out).entryList(QDir::Files | QDir::Hidden);
    if (state != ConvertDone) {
        QCOMPARE(left, QStringList());
        return;
    }
    QCOMPARE(left, QStringList{QFileInfo(QString::fromUtf8(item->outputPath())).fileName()});
    const double seconds = probedDuration(QString::fromUtf8(item->outputPath()));
    QVERIFY(seconds > 0);
    if (match.lastCapturedIndex() > 0)
        QVERIFY2(qAbs(match.captured(1).toDouble() - seconds) <= 0.5, qPrintable(QString::number(seconds)));
}

QTEST_MAIN(TestUserFiles)
#include "tst_userfiles.moc"
