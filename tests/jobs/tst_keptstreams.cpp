#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#include "avsettings.h"
#include "catalogue.h"
#include "clips.h"
#include "mediaprobe.h"
#include "processes.h"
#include "settings.h"
#include "transcodejob.h"

Q_DECLARE_METATYPE(AVSettings)

// What a film and a phone clip keep through real jobs in each container:
// the tracks with their languages, titles and flags, the subtitles kept or
// burned, chapters, title, date, cover and turn, as ffprobe reads them.

namespace {

constexpr int conversionTimeoutMs = 120000;

// The result in lines: its streams but the .mp4's chapter text, then the
// file's chapters, title and day.
QStringList described(const QString &path)
{
    const ProgramRun probe = runProgram(
        QStringLiteral("ffprobe"),
        {"-v", "error", "-of", "json", "-show_chapters", "-show_entries",
         "stream=codec_type,codec_name:stream_tags=language,title,handler_name:"
         "stream_disposition=default,attached_pic:stream_side_data=rotation:format_tags=title,creation_time,date",
         path});
    const QJsonObject report = QJsonDocument::fromJson(probe.output).object();
    QStringList lines;
    for (const QJsonValue &value : report.value(QLatin1String("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QJsonObject tags = stream.value(QLatin1String("tags")).toObject();
        const QString type = stream.value(QLatin1String("codec_type")).toString();
        if (type == QLatin1String("data"))
            continue;
        QString line = type + ' ' + stream.value(QLatin1String("codec_name")).toString();
        const QString language = tags.value(QLatin1String("language")).toString();
        if (!language.isEmpty() && language != QLatin1String("und"))
            line += ' ' + language;
        QString title = tags.value(QLatin1String("title")).toString();
        const QString handler = tags.value(QLatin1String("handler_name")).toString();
        if (title.isEmpty() && !handler.endsWith(QLatin1String("Handler")))
            title = handler;
        if (!title.isEmpty())
            line += " '" + title + '\'';
        const QJsonObject disposition = stream.value(QLatin1String("disposition")).toObject();
        if (disposition.value(QLatin1String("default")).toInt() && type != QLatin1String("video"))
            line += QStringLiteral(" default");
        if (disposition.value(QLatin1String("attached_pic")).toInt())
            line += QStringLiteral(" cover");
        for (const QJsonValue &side : stream.value(QLatin1String("side_data_list")).toArray()) {
            if (side.toObject().contains(QLatin1String("rotation")))
                line += QStringLiteral(" turned %1").arg(side.toObject().value(QLatin1String("rotation")).toInt());
        }
        lines << line;
    }
    const QJsonObject tags = report.value(QLatin1String("format")).toObject().value(QLatin1String("tags")).toObject();
    const QString day = (tags.value(QLatin1String("creation_time")).toString()
                         + tags.value(QLatin1String("date")).toString()).left(10);
    lines << QStringLiteral("chapters %1, title %2, made %3")
                 .arg(report.value(QLatin1String("chapters")).toArray().size())
                 .arg(tags.value(QLatin1String("title")).toString(), day);
    return lines;
}

// The lower third of the frame at one second, grey, at 320x240.
QByteArray lowerThird(const QString &path)
{
    const ProgramRun frame = runProgram(
        QStringLiteral("ffmpeg"), {"-v", "error", "-ss", "1", "-i", path, "-frames:v", "1", "-vf",
                                   "scale=320:240,format=gray", "-f", "rawvideo", "-"});
    return frame.output.mid(320 * 160);
}

// The share of pixels far apart: encoding moves a grey level by a few, a
// letter drawn over the bars by far more.
double changedShare(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size() || a.isEmpty())
        return -1;
    int changed = 0;
    for (int i = 0; i < a.size(); ++i)
        changed += std::abs(int(quint8(a.at(i))) - int(quint8(b.at(i)))) > 64 ? 1 : 0;
    return double(changed) / a.size();
}

} // namespace

class TestKeptStreams final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void conversion_data();
    void conversion();

private:
    QTemporaryDir work;
};

void TestKeptStreams::initTestCase()
{
    initCatalogue();
    QVERIFY(work.isValid());
    QVERIFY(makeFilm(work.filePath(QStringLiteral("film.mkv"))));
    QVERIFY(makeTurnedClip(work.filePath(QStringLiteral("phone.mp4"))));
    // Every byte the filter graph treats as syntax, in one name.
    QVERIFY(QFile::copy(work.filePath(QStringLiteral("film.mkv")),
                        work.filePath(QStringLiteral("a'b:c,d[e];f\\g h=中文.mkv"))));
    QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("out"))));
    outputDir = QFile::encodeName(work.filePath(QStringLiteral("out")));
}

void TestKeptStreams::cleanup()
{
    QCOMPARE(childProcesses().size(), 0);
}

void TestKeptStreams::conversion_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<QStringList>("streams");
    // The default Chinese subtitle drawn into the picture.
    QTest::addColumn<bool>("burned");

    const QString film = QStringLiteral("chapters 3, title 流浪之旅, made 2021-06-01");
    const QString noChapters = QStringLiteral("chapters 0, title 流浪之旅, made 2021-06-01");
    const QStringList mp4{"video h264", "audio aac chi default", "audio aac eng 'English 5.1'",
                          "subtitle mov_text chi default", "subtitle mov_text eng", "video mjpeg cover", film};
    QTest::newRow(".mp4") << "film.mkv" << chosen(0) << mp4 << false;
    QTest::newRow(".mp4 with Copy") << "film.mkv" << chosen(0, 6, 3) << mp4 << false;
    QTest::newRow(".flv") << "film.mkv" << chosen(1) << QStringList{"video h264", "audio aac", noChapters}
                          << true;
    QTest::newRow(".avi") << "film.mkv" << chosen(2)
                          << QStringList{"video h264", "audio mp3", "audio mp3 'English 5.1'", noChapters}
                          << true;
    QTest::newRow(".wmv") << "film.mkv" << chosen(3)
                          << QStringList{"video wmv2", "audio wmav2 chi", "audio wmav2 eng",
                                         QStringLiteral("chapters 3, title 流浪之旅, made ")}
                          << true;
    QTest::newRow("a name made of filter syntax, burned into .avi")
        << "a'b:c,d[e];f\\g h=中文.mkv" << chosen(2)
        << QStringList{"video h264", "audio mp3", "audio mp3 'English 5.1'", noChapters} << true;
    QTest::newRow("a turned clip copied into .mp4 keeps its turn")
        << "phone.mp4" << chosen(0, 6, 3)
        << QStringList{"video h264 turned 90", "audio aac default", "chapters 0, title , made 2022-03-04"}
        << false;
}

void TestKeptStreams::conversion()
{
    QFETCH(QString, source);
    QFETCH(AVSettings, settings);
    QFETCH(QStringList, streams);
    QFETCH(bool, burned);

    const QByteArray path = QFile::encodeName(work.filePath(source));
    TranscodeJob job;
    QCOMPARE(job.setInput(path, settings), ResultOk);
    job.setMedia(MediaProbe::read(path));
    QSignalSpy finished(&job, &TranscodeJob::finished);
    QCOMPARE(job.start(job.plannedOutputPath()), ResultOk);
    QVERIFY(finished.wait(conversionTimeoutMs));
    QVERIFY2(job.state() == ConvertDone, job.errorText().constData());

    const QString output = QString::fromUtf8(job.outputPath());
    QCOMPARE(described(output), streams);
    const double changed = changedShare(lowerThird(output), lowerThird(QString::fromUtf8(path)));
    QVERIFY2(changed >= 0, "no frame read");
    QVERIFY2(burned ? changed > 0.003 : changed < 0.001, qPrintable(QString::number(changed)));
    QVERIFY(QFile::remove(output));
}

QTEST_GUILESS_MAIN(TestKeptStreams)
#include "tst_keptstreams.moc"
