#include <functional>

#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include "platformchoice.h"
#include "qttranslation.h"
#include "testsupport.h"

// What the program does before and around the window: the platform it asks
// for, folders dropped on it, and
// where and in which language its file dialogs open.
class TestStartup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir work;

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

    void platformChoice_data();
    void platformChoice();
    void droppedFolderListsItsVideosInNameOrder();
    void fileDialogsSpeakChineseAndOpenWhereExpected();
};

void TestStartup::initTestCase()
{
    qputenv("HOME", work.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", at(QStringLiteral("config")).toUtf8());
    QDir::setCurrent(work.path());
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
