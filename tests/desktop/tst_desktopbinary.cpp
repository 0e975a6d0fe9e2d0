#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "privatebus.h"
#include "testsupport.h"
#include "waits.h"

// The real program on a private X server and a private session bus, started
// as a file manager starts it: with files and a folder on its command line,
// on a session that says it is Wayland, under nohup as from a terminal that
// may close, then started again with more files.
// What each start listed is read back from the fake transcoder's log of the
// run that follows.
class TestDesktopBinary : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir work;
    PrivateBus bus;
    QProcess first;
    QString windowId;
    QPoint startButton;

    QString at(const QString &name) const { return work.filePath(name); }
    QString made(const QString &name)
    {
        QDir().mkpath(QFileInfo(at(name)).absolutePath());
        touch(at(name));
        return at(name);
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-nonexistent"));
        env.insert(QStringLiteral("PATH"), at(QStringLiteral("bin")) + QLatin1Char(':')
                                               + env.value(QStringLiteral("PATH")));
        return env;
    }
    void startConverter(QProcess &process, const QStringList &arguments, bool underNohup = false) const
    {
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(at(QStringLiteral("cwd")));
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        // nohup starts the program itself with SIGHUP ignored.
        if (underNohup)
            process.start(QStringLiteral("nohup"), QStringList{QStringLiteral(VANTOR_CONVERTER)} + arguments);
        else
            process.start(QStringLiteral(VANTOR_CONVERTER), arguments);
    }
    static QString run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(processWaitMs);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    QString title() const
    {
        const QString line = run(QStringLiteral("xprop"), {"-id", windowId, "_NET_WM_NAME"});
        const int quote = line.indexOf(QLatin1Char('"'));
        return quote < 0 ? line : line.mid(quote + 1).chopped(1);
    }
    static int windowsTitled(const QString &title)
    {
        return run(QStringLiteral("xwininfo"), {"-root", "-tree"})
            .count(QLatin1Char('"') + title + QLatin1Char('"'));
    }
    QStringList converted() const
    {
        QFile log(at(QStringLiteral("transcoder.log")));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }

private slots:
    void initTestCase();
    void cleanupTestCase();

    void commandLineListsFilesAndFolders();
    void secondStartHandsItsFilesOver();
    void runShowsOnTheDesktopAndTakesHandOvers();
};

void TestDesktopBinary::initTestCase()
{
    QVERIFY(QDir().mkpath(at(QStringLiteral("run"))));
    QVERIFY(QFile::setPermissions(at(QStringLiteral("run")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("HOME", work.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", at(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", at(QStringLiteral("state")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", at(QStringLiteral("run")).toUtf8());
    QVERIFY(bus.start());
    QVERIFY(bus.startFake({"notifications", "portal", "screensaver", "launcher"}));
    QVERIFY(QDir().mkpath(at(QStringLiteral("cwd"))));
    QVERIFY(QDir().mkpath(at(QStringLiteral("bin"))));
    // Logs the source and the platform the program left in its children's
    // environment; the first job waits for the test's go.
    writeFakeTranscoder(
        at(QStringLiteral("bin")), QStringLiteral("ffmpeg"),
        "in=\"\"; prev=\"\"\nfor a in \"$@\"; do [ \"$prev\" = -i ] && in=$a; prev=$a; done\n"
        "printf '%s|%s\\n' \"$in\" \"${QT_QPA_PLATFORM-unset}\" >> '" + at(QStringLiteral("transcoder.log")).toUtf8() + "'\n"
        "i=0; while [ ! -e '" + at(QStringLiteral("go")).toUtf8() + "' ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
        + succeedingBody());

    // Where the start button is inside the window, from a window of the same
    // form in this process, gone before the program starts.
    QDir::setCurrent(at(QStringLiteral("cwd")));
    {
        MainWindow probe;
        QWidget *button = buttonOf(probe, "btnConvertStart");
        startButton = button->mapTo(&probe, button->rect().center());
    }
    QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(QStringLiteral("Vantor视频转换器")), 0, processWaitMs);
}

void TestDesktopBinary::cleanupTestCase()
{
    first.terminate();
    if (!first.waitForFinished(processWaitMs))
        first.kill();
    first.waitForFinished(5000);
}

void TestDesktopBinary::commandLineListsFilesAndFolders()
{
    made(QStringLiteral("cwd/c.avi"));
    made(QStringLiteral("v/a.mp4"));
    made(QStringLiteral("v/sub/b.mkv"));
    made(QStringLiteral("v/notes.txt"));
    made(QStringLiteral("v/.hidden.mp4"));
    startConverter(first, {"c.avi", at(QStringLiteral("v")), at(QStringLiteral("missing.mp4")),
                           at(QStringLiteral("v/a.mp4"))},
                   true);
    QVERIFY(first.waitForStarted(processWaitMs));
    windowId = run(QStringLiteral(VANTOR_FIND_WINDOW), {QStringLiteral("Vantor视频转换器")});
    QVERIFY2(!windowId.isEmpty(), "no window");
    // On a session that says Wayland the window is still an X11 one, of the
    // class the desktop entry names.
    QCOMPARE(run(QStringLiteral("xprop"), {"-id", windowId, "WM_CLASS"}),
             QStringLiteral("WM_CLASS(STRING) = \"vantor-converter\", \"vantor-converter\""));
    // Started outside a portable folder, the settings go to the user's
    // configuration folder.
    QVERIFY(QFileInfo::exists(at(QStringLiteral("config/vantor-converter/conf_main.json"))));
    QVERIFY(!QFileInfo::exists(at(QStringLiteral("cwd/conf_main.json"))));
}

void TestDesktopBinary::secondStartHandsItsFilesOver()
{
    QVERIFY(!windowId.isEmpty());
    made(QStringLiteral("late.mp4"));
    QProcess second;
    startConverter(second, {at(QStringLiteral("late.mp4")), QStringLiteral("c.avi")});
    QVERIFY(second.waitForFinished(processWaitMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(windowsTitled(QStringLiteral("Vantor视频转换器")), 1);
    QCOMPARE(first.state(), QProcess::Running);
}

void TestDesktopBinary::runShowsOnTheDesktopAndTakesHandOvers()
{
    QVERIFY(!windowId.isEmpty());
    run(QStringLiteral("xdotool"), {"mousemove", "--window", windowId, QString::number(startButton.x()),
                                   QString::number(startButton.y()), "click", "1"});
    QTRY_COMPARE_WITH_TIMEOUT(title(), QStringLiteral("[0%] Vantor视频转换器"), processWaitMs);
    // Its terminal closes: ignored at start, the hang-up leaves the run going.
    QCOMPARE(kill(pid_t(first.processId()), SIGHUP), 0);
    QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(QStringLiteral("Inhibit")).size(), 1, processWaitMs);
    // The portal is told which window asks.
    QVERIFY2(bus.callsOf(QStringLiteral("Inhibit")).first().startsWith(
                 QStringLiteral("x11:") + QString::number(windowId.toUInt(nullptr, 16), 16) + '|'),
             qPrintable(bus.callsOf(QStringLiteral("Inhibit")).first()));

    made(QStringLiteral("during.mp4"));
    QProcess third;
    startConverter(third, {at(QStringLiteral("during.mp4"))});
    QVERIFY(third.waitForFinished(processWaitMs));
    QCOMPARE(third.exitCode(), 0);

    // Another program's window comes to the front before the run ends.
    QWidget front;
    front.setWindowTitle(QStringLiteral("another program"));
    front.show();
    front.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(front.isActiveWindow(), processWaitMs);
    // Qt on X11 lets a window that lost the focus count as active for 400 ms
    // more (against flicker between its own windows); the jobs end at once.
    QTest::qWait(1000);
    touch(at(QStringLiteral("go")));
    QTRY_COMPARE_WITH_TIMEOUT(title(), QStringLiteral("Vantor视频转换器"), 30000);

    // The file handed over during the run joined it. Jobs side by side may
    // note their start in either order.
    QStringList expected{at(QStringLiteral("cwd/c.avi")), at(QStringLiteral("v/a.mp4")),
                         at(QStringLiteral("v/sub/b.mkv")), at(QStringLiteral("late.mp4")),
                         at(QStringLiteral("during.mp4"))};
    QStringList sources;
    for (const QString &line : converted()) {
        sources << line.section(QLatin1Char('|'), 0, 0);
        // The program's platform choice is its own, not its children's.
        QCOMPARE(line.section(QLatin1Char('|'), 1), QStringLiteral("unset"));
    }
    sources.sort();
    expected.sort();
    QCOMPARE(sources, expected);

    QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(QStringLiteral("Close")).size(), 1, processWaitMs);
    QCOMPARE(bus.callsOf(QStringLiteral("Notify")),
             QStringList{QStringLiteral("Vantor视频转换器|0|vantor-converter|转码任务完成|"
                                        "成功 5 个，失败 0 个||desktop-entry=com.example.vantor_converter|-1")});
    const QStringList updates = bus.callsOf(QStringLiteral("Update"));
    QCOMPARE(updates.first(), QStringLiteral("application://com.example.vantor_converter.desktop|progress=0.0000,"
                                             "progress-visible=true"));
    QCOMPARE(updates.last(), QStringLiteral("application://com.example.vantor_converter.desktop|progress=0.0000,"
                                            "progress-visible=false"));
    QCOMPARE(first.state(), QProcess::Running);
}

QTEST_MAIN(TestDesktopBinary)
#include "tst_desktopbinary.moc"
