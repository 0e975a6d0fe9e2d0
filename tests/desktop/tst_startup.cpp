#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platformchoice.h"
#include "qttranslation.h"
#include "savedlist.h"
#include "singleinstance.h"
#include "testsupport.h"

namespace {

// A new connection to the socket at path, or -1 with errno set.
int connectTo(const QString &path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
}

// Something listens on the socket at path.
bool answers(const QString &path)
{
    const int fd = connectTo(path);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

} // namespace

// What the program does before and around the window: the platform it asks
// for, a second start beside a first that crashed or is busy, folders
// dropped on it, and where and in which language its file dialogs open.
class TestStartup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir work;
    std::unique_ptr<FreshSavedList> savedList;

    QString at(const QString &name) const { return work.filePath(name); }
    QString made(const QString &name)
    {
        QDir().mkpath(QFileInfo(at(name)).absolutePath());
        touch(at(name));
        return at(name);
    }
    // Runs `look` on the next file dialog the window opens, then closes it
    // by choosing `choice` (a file) or, when that is empty, cancelling.
    static void onNextFileDialog(std::function<void(QFileDialog *)> look, const QString &choice)
    {
        QTimer::singleShot(20, [look, choice] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                onNextFileDialog(look, choice);
                return;
            }
            look(dialog);
            if (choice.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(QFileInfo(choice).absolutePath());
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(QFileInfo(choice).fileName());
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

private slots:
    void initTestCase();
    void init();

    void platformChoice_data();
    void platformChoice();
    void secondStartBesideTheFirst_data();
    void secondStartBesideTheFirst();
    void droppedFolderListsItsVideosInNameOrder();
    void fileDialogsSpeakChineseAndOpenWhereExpected();
};

void TestStartup::initTestCase()
{
    qputenv("HOME", work.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", at(QStringLiteral("config")).toUtf8());
    QDir::setCurrent(work.path());
}

// Each window starts without the rows the one before left.
void TestStartup::init()
{
    savedList.reset(new FreshSavedList);
}

void TestStartup::platformChoice_data()
{
    QTest::addColumn<QByteArray>("sessionType");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("given");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Wayland session") << QByteArray("wayland") << QByteArray("wayland-0")
                                     << QByteArray() << QByteArray("xcb");
    QTest::newRow("Wayland, platform given") << QByteArray("wayland") << QByteArray("wayland-0")
                                             << QByteArray("wayland") << QByteArray("wayland");
    QTest::newRow("X11 session") << QByteArray("x11") << QByteArray() << QByteArray()
                                 << QByteArray();
}

void TestStartup::platformChoice()
{
    QFETCH(QByteArray, sessionType);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, given);
    QFETCH(QByteArray, expected);
    const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
    qputenv("XDG_SESSION_TYPE", sessionType);
    qputenv("WAYLAND_DISPLAY", waylandDisplay);
    qputenv("QT_QPA_PLATFORM", given);
    const bool chose = preferX11OnWayland();
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    qputenv("QT_QPA_PLATFORM", saved);
    qunsetenv("XDG_SESSION_TYPE");
    qunsetenv("WAYLAND_DISPLAY");
    QCOMPARE(platform, expected);
    QCOMPARE(chose, given.isEmpty() && !expected.isEmpty());
}

void TestStartup::secondStartBesideTheFirst_data()
{
    QTest::addColumn<bool>("firstRuns");
    // Killed before it could clean up: its socket and lock file stay.
    QTest::newRow("first crashed") << false;
    // Its queue of connections full, its window too slow to take more.
    QTest::newRow("first busy, answers late") << true;
}

void TestStartup::secondStartBesideTheFirst()
{
    QFETCH(bool, firstRuns);
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString socket = SingleInstance::socketName();
    const QStringList paths{at(QStringLiteral("handed.mp4"))};

    std::optional<SingleInstance> first;
    std::vector<int> queued;
    if (firstRuns) {
        first.emplace();
        QVERIFY(!first->handOver({}));
        for (int fd; (fd = connectTo(socket)) >= 0;)
            queued.push_back(fd);
        QCOMPARE(errno, EAGAIN);
    } else {
        const pid_t crashed = fork();
        if (crashed == 0) {
            SingleInstance dying;
            dying.handOver({});
            _exit(0);
        }
        QVERIFY(crashed > 0);
        QCOMPARE(waitpid(crashed, nullptr, 0), crashed);
    }
    QVERIFY(QFileInfo::exists(socket));
    QStringList received;
    if (first)
        connect(&*first, &SingleInstance::pathsReceived, this, [&](const QStringList &p) { received = p; });

    bool handed = false;
    bool listened = false;
    QScopedPointer<QThread> second(QThread::create([&] {
        SingleInstance start;
        handed = start.handOver(paths);
        listened = answers(socket);
    }));
    second->start();
    // The first's window is busy: nothing leaves its queue for a while.
    if (first)
        QThread::msleep(2000);
    QTRY_VERIFY_WITH_TIMEOUT(second->isFinished(), 30000);
    for (int fd : queued)
        close(fd);

    QCOMPARE(handed, firstRuns);
    // The first, or in the dead one's place the second, listens.
    QVERIFY(listened);
    if (firstRuns) {
        QCOMPARE(received, paths);
        // Its socket stayed its own.
        QVERIFY(answers(socket));
    }
}

void TestStartup::droppedFolderListsItsVideosInNameOrder()
{
    const QString top = at(QStringLiteral("drop"));
    const QString ep2 = made(QStringLiteral("drop/第2集.MKV"));
    made(QStringLiteral("drop/第10集.mp4"));
    made(QStringLiteral("drop/Ep1.avi"));
    made(QStringLiteral("drop/notes.txt"));
    made(QStringLiteral("drop/.hidden.mp4"));
    made(QStringLiteral("drop/.cache/thumb.mp4"));
    made(QStringLiteral("drop/b/z.mov"));
    made(QStringLiteral("drop/a/y.flv"));
    // A link back up the tree is walked once, not for ever.
    QVERIFY(QFile::link(top, at(QStringLiteral("drop/a/loop"))));

    MainWindow window;
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(top), QUrl::fromLocalFile(ep2),
                   QUrl::fromLocalFile(at(QStringLiteral("missing")))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    delete data;

    QStringList rows;
    for (int row = 0; row < listOf(window)->count(); ++row)
        rows << QString::fromUtf8(rowItem(window, row)->inputPath()).mid(top.size() + 1);
    // Chinese collation: Chinese names first (by pinyin), numbers by value.
    QCOMPARE(rows, (QStringList{"第2集.MKV", "第10集.mp4", "Ep1.avi", "a/y.flv", "b/z.mov"}));
}

void TestStartup::fileDialogsSpeakChineseAndOpenWhereExpected()
{
    installQtTranslation(*qApp);
    MainWindow window;
    const QString videos = at(QStringLiteral("Videos"));
    const QString other = made(QStringLiteral("other/clip.mp4"));
    QStringList folders;
    QString caption;
    QString lookIn;
    const auto record = [&](QFileDialog *dialog) {
        folders << dialog->directory().absolutePath();
        caption = dialog->windowTitle();
        lookIn = dialog->findChild<QLabel *>(QStringLiteral("lookInLabel"))->text();
    };

    onNextFileDialog(record, other);
    buttonOf(window, "btnInputFile")->click();
    QCOMPARE(caption, QStringLiteral("选择视频文件"));
    QVERIFY2(lookIn != QLatin1String("Look in:") && !lookIn.isEmpty(), qPrintable(lookIn));
    QCOMPARE(listOf(window)->count(), 1);

    onNextFileDialog(record, QString());
    buttonOf(window, "btnInputFile")->click();
    onNextFileDialog(record, QString());
    buttonOf(window, "btnOutputDir")->click();
    QCOMPARE(caption, QStringLiteral("选择视频文件夹"));
    QCOMPARE(folders, (QStringList{videos, QFileInfo(other).absolutePath(), videos}));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
