#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <optional>

#include <sys/wait.h>
#include <unistd.h>

#include "processes.h"
#include "scripts.h"
#include "transcodeprocess.h"
#include "waits.h"

namespace {

// Reads until the end of output; the text read, or a null array when the
// output did not end in time.
QByteArray readToEnd(TranscodeProcess &process)
{
    QByteArray all;
    char buffer[8191];
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        int count = 0;
        const int code = process.readOutput(buffer, int(sizeof buffer), &count);
        if (code == ResultEndOfOutput)
            return all.isNull() ? QByteArray("") : all;
        if (code != 0)
            return {};
        if (count > 0)
            all.append(buffer, count);
        else
            QTest::qWait(10); // the read never waits, so poll like the item's timer
    }
    return {};
}

// Reads until the output holds text; false when it did not in time.
bool readUntil(TranscodeProcess &process, const QByteArray &text)
{
    QByteArray all;
    char buffer[256];
    return QTest::qWaitFor([&] {
        int count = 0;
        if (process.readOutput(buffer, int(sizeof buffer), &count) == ResultOk)
            all.append(buffer, count);
        return all.contains(text);
    }, processWaitMs);
}

} // namespace

class TestTranscodeProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void startWhileRunningIsRefused();
    void unstartableProgram_data();
    void unstartableProgram();
    void readsToEndThenNothingRuns();
    void exitStatus_data();
    void exitStatus();
    void stopTwice();
    void stopNeverWaits_data();
    void stopNeverWaits();
    void stalledChildNeverBlocksRead();
    void destroyingKillsTheChild();
    void childGetsNullInputAndOnePipe();
    void childStartsWithDefaultSignals();
    void argumentsArriveUnchanged();
    void secondChildDoesNotHoldFirstPipe();
    void programBesideExecutableWins();
    void stopEndsTheWholeGroup();
    void childDiesWithItsParent_data();
    void childDiesWithItsParent();

private:
    QTemporaryDir dir;
    QByteArray sleeper;
    QByteArray echoer;
};

void TestTranscodeProcess::initTestCase()
{
    QVERIFY(dir.isValid());
    sleeper = writeScript(dir.path(), "sleeper", "exec sleep 30");
    echoer = writeScript(dir.path(), "echoer", "printf 'hello\\n'; printf 'world' >&2");
}

void TestTranscodeProcess::cleanup()
{
    // Every test leaves no child behind, dead or alive, once stopped ones
    // are collected.
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
}

void TestTranscodeProcess::startWhileRunningIsRefused()
{
    TranscodeProcess process;
    QCOMPARE(process.start({sleeper}), ResultOk);
    QCOMPARE(process.start({echoer}), ResultAlreadyRunning);
    QCOMPARE(process.startCommandLine(QString::fromUtf8(echoer)), ResultAlreadyRunning);

    // The first child is undisturbed: still there, still silent.
    const QList<ChildProcess> children = childProcesses();
    QCOMPARE(children.size(), 1);
    QVERIFY(children.first().state != 'Z');
    char buffer[16];
    int count = -1;
    QCOMPARE(process.readOutput(buffer, 16, &count), ResultOk);
    QCOMPARE(count, 0);
    QCOMPARE(process.stop(), ResultOk);
}

void TestTranscodeProcess::unstartableProgram_data()
{
    QTest::addColumn<QByteArray>("program");
    const QByteArray missing = dir.path().toUtf8() + "/no-such-transcoder";
    const QByteArray plain = dir.path().toUtf8() + "/not-executable";
    QFile file(QString::fromUtf8(plain));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();

    QTest::newRow("absent path") << missing;
    QTest::newRow("bare name on no search path") << QByteArray("vantor-no-such-transcoder");
    QTest::newRow("file without execute permission") << plain;
    QTest::newRow("directory") << dir.path().toUtf8();
}

void TestTranscodeProcess::unstartableProgram()
{
    QFETCH(QByteArray, program);
    TranscodeProcess process;
    QCOMPARE(process.start({program, "-y"}), ResultSpawnFailed);
    QVERIFY(!process.isRunning());
    char buffer[16];
    int count = 0;
    QCOMPARE(process.readOutput(buffer, 16, &count), ResultNotRunning);
    QCOMPARE(process.stop(), ResultNothingToStop);

    // The failure leaves nothing behind that blocks the next start.
    QCOMPARE(process.start({echoer}), ResultOk);
    QCOMPARE(readToEnd(process), QByteArray("hello\nworld"));
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);
}

void TestTranscodeProcess::readsToEndThenNothingRuns()
{
    TranscodeProcess process;
    char buffer[16];
    int count = 0;
    QCOMPARE(process.readOutput(buffer, 16, &count), ResultNotRunning);
    QCOMPARE(process.start(QList<QByteArray>()), ResultInvalidArgument);
    QCOMPARE(process.startCommandLine(QString()), ResultInvalidArgument);

    QCOMPARE(process.start({echoer}), ResultOk);
    QCOMPARE(process.readOutput(nullptr, 16, &count), ResultInvalidArgument);
    QCOMPARE(process.readOutput(buffer, 0, &count), ResultInvalidArgument);
    QCOMPARE(readToEnd(process), QByteArray("hello\nworld"));
    QCOMPARE(process.readOutput(buffer, 16, &count), ResultNotRunning);
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);
    QVERIFY(process.exitedCleanly());
    QCOMPARE(zombieChildren(), 0);
    QCOMPARE(process.stop(), ResultNothingToStop);
}

void TestTranscodeProcess::exitStatus_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("childSignalIgnored");
    QTest::addColumn<bool>("restoredAtStart");
    QTest::addColumn<bool>("clean");
    QTest::newRow("status 0") << QByteArray("echo done") << false << false << true;
    QTest::newRow("status 1") << QByteArray("echo done; exit 1") << false << false << false;
    QTest::newRow("killed by a signal") << QByteArray("echo done; kill -KILL $$") << false << false << false;
    // The output ends long before the child exits.
    QTest::newRow("closes output, exits later")
        << QByteArray("echo done; exec >&- 2>&-; sleep 0.5; exit 0") << false << false << true;
    QTest::newRow("closes output, fails later")
        << QByteArray("echo done; exec >&- 2>&-; sleep 0.5; exit 4") << false << false << false;
    // A launcher left SIGCHLD ignored: the kernel collects the child, and a
    // status nobody saw proves nothing.
    QTest::newRow("status unseen, SIGCHLD ignored")
        << QByteArray("echo done; exit 1") << true << false << false;
    QTest::newRow("SIGCHLD ignored, restored at start")
        << QByteArray("echo done") << true << true << true;
}

namespace {

// SIGCHLD ignored for as long as it lives, as a launcher may leave it.
class ChildSignalIgnored final
{
public:
    ChildSignalIgnored()
    {
        struct sigaction ignored = {};
        ignored.sa_handler = SIG_IGN;
        sigaction(SIGCHLD, &ignored, &previous);
    }
    ~ChildSignalIgnored() { sigaction(SIGCHLD, &previous, nullptr); }

private:
    struct sigaction previous = {};
};

} // namespace

void TestTranscodeProcess::exitStatus()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, childSignalIgnored);
    QFETCH(bool, restoredAtStart);
    QFETCH(bool, clean);
    std::optional<ChildSignalIgnored> ignored;
    if (childSignalIgnored)
        ignored.emplace();
    if (restoredAtStart)
        restoreChildExitSignal();
    TranscodeProcess process;
    QCOMPARE(process.start({writeScript(dir.path(), "exiter", body)}), ResultOk);
    QCOMPARE(readToEnd(process), QByteArray("done\n"));
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);
    QCOMPARE(process.exitedCleanly(), clean);
}

void TestTranscodeProcess::stopTwice()
{
    TranscodeProcess process;
    QCOMPARE(process.start({sleeper}), ResultOk);
    QCOMPARE(process.stop(), ResultOk);
    QVERIFY(!process.exitedCleanly());
    QCOMPARE(process.stop(), ResultNothingToStop);
    char buffer[16];
    int count = 0;
    QCOMPARE(process.readOutput(buffer, 16, &count), ResultNotRunning);
    QCOMPARE(process.start({echoer}), ResultOk);
    QCOMPARE(readToEnd(process), QByteArray("hello\nworld"));
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);
}

void TestTranscodeProcess::stopNeverWaits_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("sleeps") << QByteArray("echo started; exec sleep 30");
    QTest::newRow("ignores SIGTERM") << QByteArray("trap '' TERM; echo started; exec sleep 30");
}

// However slow the killed child is to die (stuck on a hung share), stop()
// returns at once; the child is collected later, also once its owner is
// gone, and then the file it was writing is removed, even one made late.
void TestTranscodeProcess::stopNeverWaits()
{
    QFETCH(QByteArray, body);
    const QString leftover = dir.filePath(QStringLiteral("leftover.part"));
    {
        TranscodeProcess process;
        QCOMPARE(process.start({writeScript(dir.path(), "stuck", body)}), ResultOk);
        QVERIFY(readUntil(process, "started"));
        QCOMPARE(process.stop(leftover.toUtf8()), ResultOk);
        // Not collected yet: stop() did not wait for it.
        QCOMPARE(childProcesses().size(), 1);
        QVERIFY(!process.exitedCleanly());
        QCOMPARE(process.stop(), ResultNothingToStop);
    }
    QFile late(leftover);
    QVERIFY(late.open(QIODevice::WriteOnly));
    late.close();
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
    QVERIFY(!QFile::exists(leftover));
}

void TestTranscodeProcess::stalledChildNeverBlocksRead()
{
    TranscodeProcess process;
    const QByteArray stalled =
        writeScript(dir.path(), "stalled", "printf 'Duration: 00:00:10.00'; exec sleep 30");
    QCOMPARE(process.start({stalled}), ResultOk);
    QByteArray seen;
    char buffer[8191];
    // A blocking read would hang here for the 30 s of the sleep.
    for (int reads = 0; reads < 50 && !seen.endsWith("10.00"); ++reads) {
        int count = 0;
        QCOMPARE(process.readOutput(buffer, int(sizeof buffer), &count), ResultOk);
        seen.append(buffer, count);
        if (count == 0)
            QTest::qWait(20);
    }
    QCOMPARE(seen, QByteArray("Duration: 00:00:10.00"));
    int count = -1;
    QCOMPARE(process.readOutput(buffer, int(sizeof buffer), &count), ResultOk);
    QCOMPARE(count, 0);
    QVERIFY(process.isRunning());
    QCOMPARE(process.stop(), ResultOk);
}

void TestTranscodeProcess::destroyingKillsTheChild()
{
    {
        TranscodeProcess process;
        QCOMPARE(process.start({sleeper}), ResultOk);
        QCOMPARE(childProcesses().size(), 1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);

    // Also after the output ended while the child lingers.
    {
        TranscodeProcess process;
        QCOMPARE(process.start({writeScript(dir.path(), "lingers", "exec >&- 2>&- sleep 30")}), ResultOk);
        QCOMPARE(readToEnd(process), QByteArray(""));
        QVERIFY(!process.reapChild());
        QCOMPARE(process.start({echoer}), ResultAlreadyRunning);
    }
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
}

void TestTranscodeProcess::childGetsNullInputAndOnePipe()
{
    TranscodeProcess process;
    const QByteArray probe = writeScript(
        dir.path(), "probe",
        "readlink /proc/self/fd/0; echo out; echo err >&2; "
        "[ \"$(readlink /proc/$$/fd/1)\" = \"$(readlink /proc/$$/fd/2)\" ] && echo same");
    QCOMPARE(process.start({probe}), ResultOk);
    QCOMPARE(readToEnd(process), QByteArray("/dev/null\nout\nerr\nsame\n"));
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);
}

void handleNothing(int)
{
}

// The converter catches termination signals, ignores others and may block
// some on its threads; the transcoder must start with none of that.
void TestTranscodeProcess::childStartsWithDefaultSignals()
{
    struct sigaction caught = {};
    caught.sa_handler = handleNothing;
    struct sigaction ignored = {};
    ignored.sa_handler = SIG_IGN;
    struct sigaction oldTerm = {};
    struct sigaction oldPipe = {};
    sigaction(SIGTERM, &caught, &oldTerm);
    sigaction(SIGPIPE, &ignored, &oldPipe);
    sigset_t blocked;
    sigset_t previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);

    TranscodeProcess process;
    // cat sets no handler of its own (grep catches SIGSEGV).
    const int code = process.start({"/bin/cat", "/proc/self/status"});
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    sigaction(SIGPIPE, &oldPipe, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    QCOMPARE(code, ResultOk);
    QByteArrayList masks;
    for (const QByteArray &line : readToEnd(process).split('\n')) {
        if (line.startsWith("SigBlk") || line.startsWith("SigIgn") || line.startsWith("SigCgt"))
            masks << line;
    }
    QCOMPARE(masks, QByteArrayList({"SigBlk:\t0000000000000000", "SigIgn:\t0000000000000000",
                                    "SigCgt:\t0000000000000000"}));
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);
}

void TestTranscodeProcess::argumentsArriveUnchanged()
{
    TranscodeProcess process;
    const QByteArray lister =
        writeScript(dir.path(), "lister", "for a in \"$@\"; do printf '[%s]' \"$a\"; done");
    QCOMPARE(process.start({lister, "-i", "/videos/my clip \"1\".mkv", "", "$HOME;*", "/输出/视频.mp4"}), 0);
    QCOMPARE(readToEnd(process),
             QByteArray("[-i][/videos/my clip \"1\".mkv][][$HOME;*][/输出/视频.mp4]"));
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);

    // A command line is split at spaces outside quotes, the quotes removed.
    const QString line = QString::fromUtf8(lister) + QStringLiteral("  -y -i \"D:/my videos/片.mkv\" -crf 24 \"\"");
    QCOMPARE(process.startCommandLine(line), ResultOk);
    QCOMPARE(readToEnd(process), QByteArray("[-y][-i][D:/my videos/片.mkv][-crf][24][]"));
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);
}

void TestTranscodeProcess::secondChildDoesNotHoldFirstPipe()
{
    // Were the first pipe's write end inherited by the second child, the
    // first output would not end until the second child did.
    TranscodeProcess first;
    TranscodeProcess second;
    QCOMPARE(first.start({writeScript(dir.path(), "late", "sleep 0.3; echo late")}), 0);
    QCOMPARE(second.start({sleeper}), ResultOk);
    QCOMPARE(readToEnd(first), QByteArray("late\n"));
    QTRY_VERIFY_WITH_TIMEOUT(first.reapChild(), processWaitMs);
    QCOMPARE(second.stop(), ResultOk);
}

void TestTranscodeProcess::programBesideExecutableWins()
{
    const QString besideDir = QCoreApplication::applicationDirPath();
    const QByteArray name = "vantor-test-transcoder-" + QByteArray::number(getpid());
    QTemporaryDir pathDir;
    QVERIFY(pathDir.isValid());
    const QByteArray onPath = writeScript(pathDir.path(), QString::fromUtf8(name), "echo path");
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", pathDir.path().toUtf8() + ':' + oldPath);

    QCOMPARE(findProgram(name), onPath);
    const QByteArray beside = writeScript(besideDir, QString::fromUtf8(name), "echo beside");
    QVERIFY(!beside.isEmpty());
    QCOMPARE(findProgram(name), beside);

    TranscodeProcess process;
    QCOMPARE(process.start({name}), ResultOk);
    QCOMPARE(readToEnd(process), QByteArray("beside\n"));
    QTRY_VERIFY_WITH_TIMEOUT(process.reapChild(), processWaitMs);

    QFile::remove(QString::fromUtf8(beside));
    qputenv("PATH", oldPath);
    QVERIFY(findProgram(name).isEmpty());
}

namespace {

// The pid a script wrote into a file, once it is there.
int pidIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toInt();
}

} // namespace

void TestTranscodeProcess::stopEndsTheWholeGroup()
{
    // A wrapper that starts the real work in the background and waits, as
    // a transcoder behind a script does.
    const QString pidFile = dir.filePath("worker.pid");
    QFile::remove(pidFile);
    const QByteArray wrapper = writeScript(
        dir.path(), "wrapper", "sleep 30 &\necho $! > '" + pidFile.toUtf8() + "'\nwait");
    TranscodeProcess process;
    QCOMPARE(process.start({wrapper}), ResultOk);
    QTRY_VERIFY_WITH_TIMEOUT(pidIn(pidFile) > 0, processWaitMs);
    const int worker = pidIn(pidFile);
    QVERIFY(processIsAlive(worker));
    QCOMPARE(process.stop(), ResultOk);
    QTRY_VERIFY_WITH_TIMEOUT(!processIsAlive(worker), processWaitMs);
}

void TestTranscodeProcess::childDiesWithItsParent_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGKILL") << int(SIGKILL);
    QTest::newRow("SIGSEGV") << int(SIGSEGV);
    QTest::newRow("SIGTERM, no handler") << int(SIGTERM);
}

void TestTranscodeProcess::childDiesWithItsParent()
{
    QFETCH(int, signal);
    const QString pidFile = dir.filePath("transcoder.pid");
    QFile::remove(pidFile);
    const QByteArray transcoder =
        writeScript(dir.path(), "lasting", "echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 30");

    // A converter of its own: it starts the transcoder and is then killed
    // before it can clean up anything.
    const pid_t converter = fork();
    QVERIFY(converter >= 0);
    if (converter == 0) {
        // Dies of the signal, without the test framework's handlers.
        std::signal(signal, SIG_DFL);
        TranscodeProcess process;
        if (process.start({transcoder}) != ResultOk)
            _exit(1);
        for (;;)
            pause();
    }
    QTRY_VERIFY_WITH_TIMEOUT(pidIn(pidFile) > 0, processWaitMs);
    const int child = pidIn(pidFile);
    QVERIFY(processIsAlive(child));
    QCOMPARE(kill(converter, signal), 0);
    int status = 0;
    QCOMPARE(waitpid(converter, &status, 0), converter);
    QVERIFY(WIFSIGNALED(status));
    QTRY_VERIFY_WITH_TIMEOUT(!processIsAlive(child), processWaitMs);
}

QTEST_GUILESS_MAIN(TestTranscodeProcess)
#include "tst_transcodeprocess.moc"
