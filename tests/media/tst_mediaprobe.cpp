#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "clips.h"
#include "mediaprobe.h"

namespace {

// A record in one line per stream, as a test compares it.
QStringList described(const MediaInfo &media)
{
    if (!media.readable)
        return {QStringLiteral("unreadable")};
    QStringList lines{QStringLiteral("%1 s, chapters %2, title %3, made %4")
                          .arg(qRound(media.duration))
                          .arg(media.chapterTitles.join('/'), media.title,
                               QString::fromUtf8(media.creationTime.left(10)))};
    for (const MediaStream &s : media.streams) {
        QString line = QStringLiteral("%1 %2").arg(s.index).arg(QString::fromUtf8(s.codec));
        if (!s.language.isEmpty() && s.language != "und")
            line += ' ' + QString::fromUtf8(s.language);
        if (!s.title.isEmpty())
            line += " '" + s.title + '\'';
        if (s.type == StreamVideo && !s.attachedPicture)
            line += QStringLiteral(" %1x%2 %3 %4 fps")
                        .arg(s.width).arg(s.height).arg(QString::fromUtf8(s.pixelFormat)).arg(s.frameRate);
        if (s.rotation != 0)
            line += QStringLiteral(" turned %1").arg(s.rotation);
        if (s.type == StreamAudio)
            line += QStringLiteral(" %1ch").arg(s.channels);
        if (s.isDefault && s.type != StreamVideo)
            line += QStringLiteral(" default");
        if (s.attachedPicture)
            line += QStringLiteral(" cover");
        lines << line;
    }
    return lines;
}

} // namespace

class TestMediaProbe final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void records_data();
    void records();

private:
    QTemporaryDir work;
};

void TestMediaProbe::initTestCase()
{
    QVERIFY(work.isValid());
    QVERIFY(makeFilm(work.filePath(QStringLiteral("film.mkv"))));
    QVERIFY(makeTurnedClip(work.filePath(QStringLiteral("phone.mp4"))));
    QFile text(work.filePath(QStringLiteral("notes.mp4")));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a film\n") > 0);
    // A playlist whose only segment is a FIFO nobody writes: opening it
    // blocks in the kernel until the end of time.
    QVERIFY(mkfifo(QFile::encodeName(work.filePath(QStringLiteral("part.ts"))).constData(), 0600) == 0);
    QFile playlist(work.filePath(QStringLiteral("hung.mp4")));
    QVERIFY(playlist.open(QIODevice::WriteOnly)
            && playlist.write("#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\npart.ts\n#EXT-X-ENDLIST\n") > 0);
}

void TestMediaProbe::records_data()
{
    QTest::addColumn<QStringList>("files");
    // Each file's record, in the order asked.
    QTest::addColumn<QList<QStringList>>("expected");

    const QStringList film{QStringLiteral("6 s, chapters 开始/中间/结尾, title 流浪之旅, made 2021-06-01"),
                           QStringLiteral("0 h264 320x240 yuv420p 25 fps"),
                           QStringLiteral("1 aac chi 2ch default"),
                           QStringLiteral("2 aac eng 'English 5.1' 6ch"),
                           QStringLiteral("3 subrip chi default"),
                           QStringLiteral("4 ass eng"),
                           QStringLiteral("5 mjpeg cover")};
    QTest::newRow("a film: tracks, languages, flags, chapters, title, date, cover")
        << QStringList{"film.mkv"} << QList<QStringList>{film};
    QTest::newRow("a phone clip with a quarter turn")
        << QStringList{"phone.mp4"}
        << QList<QStringList>{{QStringLiteral("3 s, chapters , title , made 2022-03-04"),
                               QStringLiteral("0 h264 320x240 yuv420p 30 fps turned 90"),
                               QStringLiteral("1 aac 1ch default")}};
    QTest::newRow("no media at all, and no file")
        << QStringList{"notes.mp4", "missing.mp4"}
        << QList<QStringList>{{"unreadable"}, {"unreadable"}};
    // The hung file's thread is left behind after the deadline; the film
    // after it is read all the same.
    QTest::newRow("a hung source listed before a normal one")
        << QStringList{"hung.mp4", "film.mkv"} << QList<QStringList>{{"unreadable"}, film};
}

void TestMediaProbe::records()
{
    QFETCH(QStringList, files);
    QFETCH(QList<QStringList>, expected);

    MediaProbe probe;
    QList<QPair<QByteArray, MediaInfo>> records;
    connect(&probe, &MediaProbe::known, this,
            [&records](const QList<QPair<QByteArray, MediaInfo>> &known) { records += known; });
    for (const QString &file : files)
        probe.request(QFile::encodeName(work.filePath(file)));
    QTRY_COMPARE_WITH_TIMEOUT(records.size(), files.size(), MediaProbe::deadlineMs + 60000);
    for (int i = 0; i < files.size(); ++i) {
        QCOMPARE(records.at(i).first, QFile::encodeName(work.filePath(files.at(i))));
        QCOMPARE(described(records.at(i).second), expected.at(i));
    }
}

QTEST_GUILESS_MAIN(TestMediaProbe)
#include "tst_mediaprobe.moc"
