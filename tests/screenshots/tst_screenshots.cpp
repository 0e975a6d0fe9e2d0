#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "catalogue.h"
#include "clips.h"
#include "dlgavsettings.h"
#include "fonts.h"
#include "../mainwindow/testsupport.h"

// Shows every window on a real X server, saves what the screen shows into
// the screenshots folder, and checks the look at a few sample pixels.
class TestScreenshots : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir work;
    QString shots = QStringLiteral(VANTOR_SCREENSHOT_DIR);

    // What the X server shows, not what Qt would paint: the video of the
    // player is drawn by libvlc into its own native window.
    QImage grab(QWidget *window, const QString &name)
    {
        QApplication::processEvents();
        const QRect area = window->frameGeometry();
        const QImage image = QGuiApplication::primaryScreen()
                                 ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                                 .toImage();
        image.save(QDir(shots).filePath(name));
        return image;
    }
    static QColor pixelOf(const QImage &shot, QWidget *window, QWidget *widget, QPoint local)
    {
        return shot.pixelColor(widget->mapTo(window, local));
    }
    static bool isGreen(QColor c) { return c.green() > c.red() + 40 && c.green() > c.blue() + 20; }
    static bool isRed(QColor c) { return c.red() > c.green() + 60 && c.red() > c.blue() + 60; }
    static bool isGrey(QColor c)
    {
        return qAbs(c.red() - c.green()) < 16 && qAbs(c.green() - c.blue()) < 16 && c.red() < 235;
    }
    QString clip(const QString &name)
    {
        const QString path = work.filePath(name);
        return makeTestClip(path, 8) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        installFontSubstitutes();
        QDir().mkpath(shots);
        qputenv("HOME", work.path().toUtf8());
        QDir::setCurrent(work.path());
    }

    void emptyWindowShowsTheGuide()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(300);
        const QImage shot = grab(&window, QStringLiteral("main-empty.png"));
        QWidget *start = buttonOf(window, "btnConvertStart");
        QVERIFY(isGrey(pixelOf(shot, &window, start, QPoint(20, 30))));

        // The guide picture is drawn, not Qt's empty label: its area holds
        // many colours, among them the green of the steps.
        QWidget *guide = window.findChild<QLabel *>(QStringLiteral("labelTeach"));
        QSet<QRgb> colours;
        bool green = false;
        for (int y = 0; y < guide->height(); y += 4) {
            for (int x = 0; x < guide->width(); x += 4) {
                const QColor c = pixelOf(shot, &window, guide, QPoint(x, y));
                colours.insert(c.rgb());
                green = green || isGreen(c);
            }
        }
        QVERIFY2(colours.size() > 50, qPrintable(QString::number(colours.size())));
        QVERIFY(green);
    }

    void listedFilesInEveryState()
    {
        MainWindow window;
        DialogAnswerer answerer;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        outputDir = work.path().toUtf8();
        const QStringList names = {"假期 旅行.mp4", "会议记录.mkv", "演示视频.avi", "family.mov"};
        for (const QString &name : names) {
            touch(work.filePath(name), QByteArray(3 * 1024 * 1024 + 300000, 'x'));
            QVERIFY(window.addInputFile(work.filePath(name).toUtf8()) == ResultOk);
        }
        window.setMainState(MainWindow::MainStateReady);
        QTest::qWait(200);
        QImage shot = grab(&window, QStringLiteral("main-listed.png"));
        QVERIFY(isGreen(pixelOf(shot, &window, buttonOf(window, "btnConvertStart"), QPoint(20, 30))));

        rowItem(window, 0)->setTranscoderProgram(
            writeFakeTranscoder(work.path(), QStringLiteral("ok"), succeedingBody()));
        rowItem(window, 1)->setTranscoderProgram(
            writeFakeTranscoder(work.path(), QStringLiteral("bad"), failingBody()));
        rowItem(window, 2)->setTranscoderProgram(writeFakeTranscoder(
            work.path(), QStringLiteral("busy"),
            "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
            "printf 'frame=1 time=00:00:06.20 bitrate=1\\r'\nexec sleep 60\n"));
        buttonOf(window, "btnConvertStart")->click();
        QTRY_COMPARE(rowItem(window, 2)->findChild<QProgressBar *>()->value(), 60);
        QTest::qWait(200);
        shot = grab(&window, QStringLiteral("main-converting.png"));
        QVERIFY(isRed(pixelOf(shot, &window, buttonOf(window, "btnConvertStart"), QPoint(20, 30))));

        answerer.answers << true << true;
        buttonOf(window, "btnConvertStart")->click();
        QTRY_COMPARE(answerer.texts.size(), 2);
    }

    void messageDialog()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CDlgMessage dialog(&window, 2, QStringLiteral("确认取消？\n未完成的转码任务将会取消。\n"));
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(200);
        const QImage shot = grab(&dialog, QStringLiteral("message-dialog.png"));
        QVERIFY(isGreen(shot.pixelColor(100, 5)));
    }

    void settingsDialog()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CDlgAVSettings dialog(&window);
        dialog.setSettings(makeAVSettings(0, 1, 1));
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(200);
        const QImage shot = grab(&dialog, QStringLiteral("settings-dialog.png"));
        QVERIFY(isGreen(shot.pixelColor(100, 5)));
    }

    void playerPlaying()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.addInputFile(clip(QStringLiteral("preview.mp4")).toUtf8()) == ResultOk);
        window.setMainState(MainWindow::MainStateReady);
        QListWidget *list = listOf(window);
        const QRect row = list->visualItemRect(list->item(0));
        // A double click is a press, a release and the double-click event.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        auto *elapsed = window.findChild<QLabel *>(QStringLiteral("curtime"));
        QTRY_VERIFY_WITH_TIMEOUT(elapsed->text() >= QStringLiteral("00:00:02"), 15000);
        const QImage shot = grab(&window, QStringLiteral("main-playing.png"));
        // The clip shows saturated colour bars; the still picture has none.
        QWidget *display = window.findChild<QWidget *>(QStringLiteral("display"));
        QSet<QRgb> colours;
        for (int x = 5; x < display->width(); x += 5)
            colours.insert(pixelOf(shot, &window, display, QPoint(x, display->height() / 3)).rgb());
        QVERIFY2(colours.size() > 5, qPrintable(QString::number(colours.size())));
    }
};

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
