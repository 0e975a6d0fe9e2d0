#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

#include "outputnames.h"
#include "partialfile.h"
#include "partialoutput.h"

namespace {

// Above the highest process id the kernel gives.
constexpr int noProcess = 4194305;

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// A job's writer as a converter makes it: its partial file, locked, named
// on the first line out; it stays until it is killed.
int holdPartial(const char *folder)
{
    PartialFile partial;
    if (partial.create(QByteArray(folder) + "/x.mp4") != 0)
        return 1;
    std::printf("%s\n", partial.path().constData());
    std::fflush(stdout);
    for (;;)
        pause();
}

} // namespace

class TestOutputNames : public QObject
{
    Q_OBJECT

private slots:
    void uniqueOutputPath_data();
    void uniqueOutputPath();
    void renameToFreeName_data();
    void renameToFreeName();
    void removeLeftovers_data();
    void removeLeftovers();
};

void TestOutputNames::uniqueOutputPath_data()
{
    QTest::addColumn<QByteArray>("planned");
    QTest::addColumn<QList<QByteArray>>("taken");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("free") << QByteArray("/o/Vantor转码-clip.mp4") << QList<QByteArray>{}
                          << QByteArray("/o/Vantor转码-clip.mp4");
    QTest::newRow("taken once") << QByteArray("/o/Vantor转码-clip.mp4")
                                << QList<QByteArray>{"/o/Vantor转码-clip.mp4"}
                                << QByteArray("/o/Vantor转码-clip (2).mp4");
    QTest::newRow("first free number")
        << QByteArray("/o/Vantor转码-clip.mp4")
        << QList<QByteArray>{"/o/Vantor转码-clip.mp4", "/o/Vantor转码-clip (2).mp4",
                             "/o/Vantor转码-clip (4).mp4"}
        << QByteArray("/o/Vantor转码-clip (3).mp4");
    QTest::newRow("dot in the folder, none in the name")
        << QByteArray("/o.d/Vantor转码-clip") << QList<QByteArray>{"/o.d/Vantor转码-clip"}
        << QByteArray("/o.d/Vantor转码-clip (2)");
    QTest::newRow("several dots") << QByteArray("/o/Vantor转码-a.b.mp4")
                                  << QList<QByteArray>{"/o/Vantor转码-a.b.mp4"}
                                  << QByteArray("/o/Vantor转码-a.b (2).mp4");
}

void TestOutputNames::uniqueOutputPath()
{
    QFETCH(QByteArray, planned);
    QFETCH(QList<QByteArray>, taken);
    QFETCH(QByteArray, expected);
    const QSet<QByteArray> set(taken.cbegin(), taken.cend());
    QCOMPARE(::uniqueOutputPath(planned, set), expected);
}

void TestOutputNames::renameToFreeName_data()
{
    // Names that appear after the look for a free one; "@" marks a symbolic
    // link to nothing.
    QTest::addColumn<QStringList>("appearing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing appears") << QStringList{} << "片 clip.mp4";
    QTest::newRow("a file appears") << QStringList{"片 clip.mp4"} << "片 clip (2).mp4";
    QTest::newRow("a dangling link appears") << QStringList{"@片 clip.mp4"} << "片 clip (2).mp4";
    QTest::newRow("two files appear") << QStringList{"片 clip.mp4", "片 clip (2).mp4"}
                                      << "片 clip (3).mp4";
}

void TestOutputNames::renameToFreeName()
{
    QFETCH(QStringList, appearing);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString partial = dir.filePath(QStringLiteral(".vantor-h-1-1.part.mp4"));
    write(partial, "ours");
    for (const QString &name : appearing) {
        if (name.startsWith('@'))
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(name.mid(1))));
        else
            write(dir.filePath(name), "theirs");
    }

    // The look for a free name saw none of them.
    const QByteArray kept = ::renameToFreeName(partial.toUtf8(), dir.filePath(QStringLiteral("片 clip.mp4")).toUtf8(),
                                               [](const QByteArray &) { return false; });
    QCOMPARE(QString::fromUtf8(kept), dir.filePath(expected));
    QCOMPARE(contentOf(dir.filePath(expected)), QByteArray("ours"));
    QVERIFY(!QFile::exists(partial));
    for (const QString &name : appearing) {
        if (name.startsWith('@'))
            QCOMPARE(QFile::symLinkTarget(dir.filePath(name.mid(1))), dir.filePath(QStringLiteral("nowhere")));
        else
            QCOMPARE(contentOf(dir.filePath(name)), QByteArray("theirs"));
    }
}

void TestOutputNames::removeLeftovers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("daysQuiet");
    // A converter in another PID namespace writes it, under the name given.
    QTest::addColumn<bool>("writerElsewhere");
    QTest::addColumn<bool>("removed");
    const QString host = QString::fromUtf8(PartialOutput::hostTag());
    const QString running = QString::number(QCoreApplication::applicationPid());
    const QString gone = QString::number(noProcess);
    QTest::newRow("this host, writer gone")
        << QStringLiteral(".vantor-%1-%2-3.part.mp4").arg(host, gone) << 0 << false << true;
    QTest::newRow("this host, writer running")
        << QStringLiteral(".vantor-%1-%2-3.part.mp4").arg(host, running) << 0 << false << false;
    // Its writer runs there, in a folder both machines share.
    QTest::newRow("another host, no such process here")
        << QStringLiteral(".vantor-other-%1-%2-3.part.avi").arg(host, gone) << 2 << false << false;
    QTest::newRow("no host, quiet for two days")
        << QStringLiteral(".vantor-%1-3.part.mp4").arg(gone) << 2 << false << true;
    QTest::newRow("no host, written just now")
        << QStringLiteral(".vantor-%1-3.part.mp4").arg(gone) << 0 << false << false;
    // Its process id means nothing here.
    QTest::newRow("this host, writer in another PID namespace")
        << QStringLiteral(".vantor-%1-%2-00c0ffee00c0ffee.part.mp4").arg(host, gone) << 0 << true
        << false;
}

void TestOutputNames::removeLeftovers()
{
    QFETCH(QString, name);
    QFETCH(int, daysQuiet);
    QFETCH(bool, writerElsewhere);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    QProcess writer;
    if (writerElsewhere) {
        writer.start(QStringLiteral("unshare"), QStringLiteral("--pid --fork --map-root-user --kill-child")
                                                        .split(QLatin1Char(' '))
                                                    << QCoreApplication::applicationFilePath()
                                                    << QStringLiteral("--hold-partial") << dir.path());
        QByteArray made;
        while (!made.endsWith('\n') && writer.waitForReadyRead(30000))
            made += writer.readAllStandardOutput();
        if (!made.endsWith('\n'))
            QSKIP("no PID namespace may be made here");
        QVERIFY(QFile::rename(QString::fromLocal8Bit(made.trimmed()), dir.filePath(name)));
    }
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-daysQuiet),
                             QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(PartialOutput::removeLeftovers(dir.path()), removed ? 1 : 0);
    QCOMPARE(QFile::exists(dir.filePath(name)), !removed);
    if (writerElsewhere) {
        // The lock, not the name, kept it: gone with its writer.
        writer.kill();
        QVERIFY(writer.waitForFinished(30000));
        const auto swept = [&] {
            PartialOutput::removeLeftovers(dir.path());
            return !QFile::exists(dir.filePath(name));
        };
        QTRY_VERIFY_WITH_TIMEOUT(swept(), 30000);
    }
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--hold-partial") == 0)
        return holdPartial(argv[2]);
    QCoreApplication application(argc, argv);
    TestOutputNames test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_outputnames.moc"
