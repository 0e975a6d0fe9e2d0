#include <QLabel>
#include <QTest>

#include <memory>

#include "conversionqueue.h"
#include "privatebus.h"
#include "savedlist.h"
#include "testsupport.h"
#include "waits.h"

// The window during a run, as the desktop sees it over a real session bus of
// the test's own, with fake services that record every call.
class TestRunPresence : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FreshSavedList> savedList;
    QTemporaryDir work;
    PrivateBus bus;

    QString listed(MainWindow &window, const QString &name)
    {
        const QString path = work.filePath(name);
        touch(path);
        window.addInputFile(path.toUtf8());
        return path;
    }

private slots:
    void initTestCase();
    void init();
    void runOnTheDesktop_data();
    void runOnTheDesktop();
    void cancelledRunIsNotAnnounced();
};

void TestRunPresence::initTestCase()
{
    qputenv("HOME", work.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", work.path().toUtf8());
    QDir::setCurrent(work.path());
    QVERIFY(bus.start());
}

// A job's go file left by an earlier case would let that job end at once.
void TestRunPresence::init()
{
    savedList.reset(new FreshSavedList);
    const QDir dir(work.path());
    for (const QString &name : dir.entryList({QStringLiteral("*.go")}, QDir::Files))
        QVERIFY(QFile::remove(dir.filePath(name)));
}

void TestRunPresence::runOnTheDesktop_data()
{
    QTest::addColumn<QStringList>("services");
    QTest::addColumn<bool>("minimised");
    // What the run asks for: the inhibit call and its release, and whether a
    // notification is expected.
    QTest::addColumn<QString>("inhibit");
    QTest::addColumn<QString>("release");
    QTest::addColumn<bool>("notified");
    const QStringList all{"notifications", "portal", "screensaver", "launcher"};
    QTest::newRow("portal, minimised") << all << true << "Inhibit" << "Close" << true;
    QTest::newRow("portal, window in front") << all << false << "Inhibit" << "Close" << false;
    QTest::newRow("screen saver only, minimised")
        << QStringList{"notifications", "screensaver", "launcher"} << true << "Inhibit"
        << "UnInhibit" << true;
    QTest::newRow("no services at all, minimised") << QStringList() << true << "" << "" << false;
}

// Three rows one at a time, the second failing; each job waits for its go
// file, so the title and the launcher can be seen at every step.
void TestRunPresence::runOnTheDesktop()
{
    QFETCH(QStringList, services);
    QFETCH(bool, minimised);
    QFETCH(QString, inhibit);
    QFETCH(QString, release);
    QFETCH(bool, notified);
    QVERIFY(bus.startFake(services));

    const QByteArray program = writeFakeTranscoder(
        work.path(), QStringLiteral("ffmpeg"),
        "in=\"\"; prev=\"\"\nfor a in \"$@\"; do [ \"$prev\" = -i ] && in=$a; prev=$a; done\n"
        "i=0; while [ ! -e \"$in.go\" ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
        "case \"$in\" in *bad*) " + failingBody() + ";; esac\n" + succeedingBody());
    DialogAnswerer answerer;
    MainWindow window;
    window.findChild<ConversionQueue *>()->setParallelJobs(1);
    window.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window.isActiveWindow(), processWaitMs);
    const QStringList paths{listed(window, QStringLiteral("a.mp4")),
                            listed(window, QStringLiteral("bad.mp4")),
                            listed(window, QStringLiteral("c.mp4"))};
    for (int row = 0; row < 3; ++row)
        rowItem(window, row)->setTranscoderProgram(program);

    buttonOf(window, "btnConvertStart")->click();
    const QString plain = QStringLiteral("Vantor视频转换器");
    for (int job = 0; job < 3; ++job) {
        // Each of the three sources weighs a third of the batch.
        const int percent = job * 100 / 3;
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("[%1%] %2").arg(percent).arg(plain), processWaitMs);
        if (services.contains(QLatin1String("launcher")))
            QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(QStringLiteral("Update")).value(job),
                         QStringLiteral("application://com.example.vantor_converter.desktop|progress=%1,"
                                        "progress-visible=true")
                             .arg(QString::number(percent / 100.0, 'f', 4)), processWaitMs);
        if (job == 2 && minimised)
            window.showMinimized();
        touch(paths.at(job) + QStringLiteral(".go"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, processWaitMs);
    QCOMPARE(window.windowTitle(), plain);
    // The title strip inside the window never changes.
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("mainLabelLogoStr"))->text(),
             QStringLiteral("Vantor视频转换器 v3.1.3"));

    if (!inhibit.isEmpty()) {
        const QStringList asked = bus.callsOf(inhibit);
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked.first().contains(QStringLiteral("正在转码")), qPrintable(asked.first()));
        // The release names what the grant returned: the portal's request
        // object, or the screen saver's cookie.
        QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(release).size(), 1, processWaitMs);
        QCOMPARE(bus.callsOf(release).first(),
                 release == QLatin1String("Close")
                     ? QStringLiteral("/org/freedesktop/portal/desktop/request/1/t1")
                     : QStringLiteral("1"));
    }
    // The last update hides the progress again.
    const auto lastUpdate = [this] {
        const QStringList updates = bus.callsOf(QStringLiteral("Update"));
        return updates.isEmpty() ? QString() : updates.last();
    };
    if (services.contains(QLatin1String("launcher")))
        QTRY_COMPARE_WITH_TIMEOUT(lastUpdate(),
                     QStringLiteral("application://com.example.vantor_converter.desktop|progress=0.0000,"
                                    "progress-visible=false"), processWaitMs);
    // The notice goes out before the launcher's last update and the release,
    // so once those arrived a notice that is not there was never sent.
    const QStringList notices = bus.callsOf(QStringLiteral("Notify"));
    QCOMPARE(notices.size(), notified ? 1 : 0);
    if (notified)
        QCOMPARE(notices.first(), QStringLiteral("Vantor视频转换器|0|vantor-converter|转码任务完成|"
                                                 "成功 2 个，失败 1 个||desktop-entry=com.example.vantor_converter|-1"));
}

void TestRunPresence::cancelledRunIsNotAnnounced()
{
    QVERIFY(bus.startFake({"notifications", "portal", "launcher"}));
    const QByteArray program = writeFakeTranscoder(work.path(), QStringLiteral("stall"), stallingBody());
    DialogAnswerer answerer;
    MainWindow window;
    window.findChild<ConversionQueue *>()->setParallelJobs(1);
    listed(window, QStringLiteral("one.mp4"));
    listed(window, QStringLiteral("two.mp4"));
    for (int row = 0; row < 2; ++row)
        rowItem(window, row)->setTranscoderProgram(program);
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("[0%] Vantor视频转换器"), processWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(QStringLiteral("Inhibit")).size(), 1, processWaitMs);
    window.showMinimized();
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, processWaitMs);
    QCOMPARE(window.windowTitle(), QStringLiteral("Vantor视频转换器"));
    QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(QStringLiteral("Close")).size(), 1, processWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(QStringLiteral("Update")).size(), 2, processWaitMs);
    QVERIFY(bus.callsOf(QStringLiteral("Notify")).isEmpty());
}

QTEST_MAIN(TestRunPresence)
#include "tst_runpresence.moc"
