#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "batchtexts.h"
#include "catalogue.h"
#include "clips.h"
#include "conversionqueue.h"
#include "dlgavsettings.h"
#include "fonts.h"
#include "highdpi.h"
#include "savedlist.h"
#include "../mainwindow/testsupport.h"
#include "waits.h"

namespace {

// Set for a copy of this test that runs one density on its own X server.
const char densityChild[] = "VANTOR_DENSITY_CHILD";

// The text of a label, button or check box, the width it needs and the
// width the widget gives it, in the widget's own units.
struct TextRoom
{
    QString text;
    int needed = 0;
    int room = 0;
};

TextRoom textRoom(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        int needed = 0;
        for (const QString &line : label->text().split(QLatin1Char('\n')))
            needed = qMax(needed, label->fontMetrics().horizontalAdvance(line));
        return {label->text(), needed, label->contentsRect().width() - 2 * label->margin()};
    }
    auto *button = qobject_cast<QAbstractButton *>(widget);
    if (!button)
        return {};
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QStyle::SubElement contents = qobject_cast<QCheckBox *>(button)
                                            ? QStyle::SE_CheckBoxContents
                                            : QStyle::SE_PushButtonContents;
    const QRect room = button->style()->subElementRect(contents, &option, button);
    return {button->text(), button->fontMetrics().horizontalAdvance(button->text()), room.width()};
}

// Every shown text of a window that its widget cuts.
QStringList cutTexts(QWidget *window)
{
    QStringList cut;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const TextRoom text = textRoom(widget);
        if (widget->isVisibleTo(window) && !text.text.isEmpty() && text.needed > text.room)
            cut << QStringLiteral("%1 \"%2\" needs %3, has %4")
                       .arg(widget->objectName(), text.text)
                       .arg(text.needed)
                       .arg(text.room);
    }
    return cut;
}

// Mean difference per channel between a screen area and a picture drawn
// into it at the area's size.
double difference(const QImage &area, const QString &picture)
{
    const QImage drawn = QImage(picture)
                             .scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    const QImage shown = area.convertToFormat(QImage::Format_RGB32);
    qint64 sum = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb a = shown.pixel(x, y), b = drawn.pixel(x, y);
            sum += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
        }
    }
    return double(sum) / (3.0 * shown.width() * shown.height());
}

} // namespace

// Shows every window on a real X server, saves what the screen shows into
// the screenshots folder, and checks the look at a few sample pixels.
class TestScreenshots : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir work;
    std::unique_ptr<FreshSavedList> savedList;
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
    // A widget's area in a screenshot of its window, in device pixels.
    static QImage areaOf(const QImage &shot, QWidget *window, QWidget *widget)
    {
        const qreal ratio = shot.devicePixelRatio();
        const QRect area(widget->mapTo(window, QPoint(0, 0)), widget->size());
        return shot.copy(QRect((QPointF(area.topLeft()) * ratio).toPoint(),
                               (QSizeF(area.size()) * ratio).toSize()));
    }
    // The size of a window's X window, in device pixels.
    static QSize windowPixels(QWidget *window)
    {
        return QGuiApplication::primaryScreen()->grabWindow(window->winId()).size();
    }
    static int countColours(const QImage &image, bool (*test)(QColor))
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += test(image.pixelColor(x, y)) ? 1 : 0;
        }
        return count;
    }
    static bool isDark(QColor c) { return c.lightness() < 90; }
    // The smallest rectangle around every pixel that is not dark.
    static QRect brightArea(const QImage &image)
    {
        QRect area;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (!isDark(image.pixelColor(x, y)))
                    area |= QRect(x, y, 1, 1);
            }
        }
        return area;
    }
    // Lists a file and plays it by a double click on its row.
    void playFirstRow(MainWindow &window, const QString &path)
    {
        QVERIFY(window.addInputFile(path.toUtf8()) == ResultOk);
        window.setMainState(MainWindow::MainStateReady);
        QListWidget *list = listOf(window);
        const QRect row = list->visualItemRect(list->item(0));
        // A double click is a press, a release and the double-click event.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        auto *elapsed = window.findChild<QLabel *>(QStringLiteral("curtime"));
        QTRY_VERIFY_WITH_TIMEOUT(elapsed->text() >= QStringLiteral("00:00:02"), processWaitMs);
    }
    // Runs one row of wholeAtEveryDensity in a copy of this test on a
    // private X server of that density and a 3840 x 2160 screen.
    static void runOnPrivateScreen(int dpi, const char *row)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VANTOR_XVFB_DPI"), QString::number(dpi));
        environment.insert(QStringLiteral("VANTOR_XVFB_SCREEN"), QStringLiteral("3840x2160x24"));
        environment.insert(QLatin1String(densityChild), QStringLiteral("1"));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral(VANTOR_XVFB_RUN_SCRIPT),
                    {QCoreApplication::applicationFilePath(),
                     QStringLiteral("wholeAtEveryDensity:%1").arg(QLatin1String(row))});
        QVERIFY(child.waitForFinished(240000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains("PASS   : TestScreenshots::wholeAtEveryDensity("), output.constData());
    }
    // At 2x the guide is drawn from its @2x file, not from the 1x one
    // enlarged (at 125 % both are resampled and this cannot tell them
    // apart); the add button shows its normal state only: a white face with
    // a dark sign, none of the green of the states below it in its strip.
    static void checkPictures(const QImage &shot, MainWindow &window, qreal ratio)
    {
        const QImage guide = areaOf(shot, &window, window.findChild<QLabel *>(QStringLiteral("labelTeach")));
        const double fromOne = difference(guide, QStringLiteral(":/images/images/main_stack_teach.png"));
        const double fromTwo = difference(guide, QStringLiteral(":/images/images/main_stack_teach@2x.png"));
        if (qAbs(ratio - 1.0) < 0.01 || qAbs(ratio - 2.0) < 0.01) {
            QVERIFY2(ratio > 1.5 ? fromTwo * 4 < fromOne : fromOne * 4 < fromTwo,
                     qPrintable(QStringLiteral("1x %1, 2x %2").arg(fromOne).arg(fromTwo)));
        }
        const QImage add = areaOf(shot, &window, buttonOf(window, "btnInputFile"));
        QCOMPARE(countColours(add, isGreen), 0);
        QVERIFY(countColours(add, isDark) > 10 * ratio * ratio);
    }
    void checkDialogs(MainWindow &window, const QString &suffix)
    {
        CDlgMessage message(&window, 2, QStringLiteral("确认取消？\n未完成的转码任务将会取消。\n"));
        QVERIFY(QTest::qWaitForWindowExposed(&message, processWaitMs));
        grab(&message, QStringLiteral("message-dialog") + suffix);
        QVERIFY2(cutTexts(&message).isEmpty(), qPrintable(cutTexts(&message).join(QLatin1String("; "))));
        message.close();

        initCatalogue();
        CDlgAVSettings settings(&window);
        settings.setSettings(makeAVSettings(0, 1, 1));
        QVERIFY(QTest::qWaitForWindowExposed(&settings, processWaitMs));
        grab(&settings, QStringLiteral("settings-dialog") + suffix);
        QVERIFY2(cutTexts(&settings).isEmpty(), qPrintable(cutTexts(&settings).join(QLatin1String("; "))));
        settings.close();
    }
    // libvlc sizes its picture by the native window, in device pixels: the
    // colour bars reach across the whole preview.
    void checkPreviewFills(MainWindow &window, const QString &suffix)
    {
        playFirstRow(window, clip(QStringLiteral("density.mp4")));
        const QImage playing = grab(&window, QStringLiteral("main-playing") + suffix);
        QWidget *display = window.findChild<QWidget *>(QStringLiteral("display"));
        const QImage video = areaOf(playing, &window, display);
        const QRect bars = brightArea(video);
        QVERIFY2(bars.width() >= video.width() - 4 || bars.height() >= video.height() - 4,
                 qPrintable(QStringLiteral("bars %1x%2 in %3x%4")
                                .arg(bars.width()).arg(bars.height())
                                .arg(video.width()).arg(video.height())));
    }
    // A paused batch of two jobs at once: the button shows the resume
    // picture, and the batch's line fits, paused and with the longest time
    // left it says.
    void checkPausedRun(const QString &suffix)
    {
        const FreshSavedList ownList;
        MainWindow window;
        DialogAnswerer answerer;
        QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
        outputDir = work.path().toUtf8();
        window.findChild<ConversionQueue *>()->setParallelJobs(2);
        const QByteArray busy = writeFakeTranscoder(
            work.path(), QStringLiteral("busy"),
            "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
            "printf 'frame=1 time=00:00:06.00 bitrate=1\\r'\nexec sleep 60\n");
        for (const QString &name : {QStringLiteral("第1集.mp4"), QStringLiteral("第2集.mp4"),
                                    QStringLiteral("第3集.mp4")}) {
            touch(work.filePath(name));
            QVERIFY(window.addInputFile(work.filePath(name).toUtf8()) == ResultOk);
            rowItem(window, listOf(window)->count() - 1)->setTranscoderProgram(busy);
        }
        window.setMainState(MainWindow::MainStateReady);
        auto *line = window.findChild<QLabel *>(QStringLiteral("labelBatchProgress"));
        buttonOf(window, "btnConvertStart")->click();
        QTRY_VERIFY_WITH_TIMEOUT(line->text().startsWith(QStringLiteral("总进度 40%")), processWaitMs);
        buttonOf(window, "btnConvertPause")->click();
        QTRY_COMPARE_WITH_TIMEOUT(line->text(), QStringLiteral("已暂停  总进度 40%"), processWaitMs);
        QCOMPARE(rowItem(window, 0)->findChild<QLabel *>(QStringLiteral("status"))->text(),
                 QStringLiteral("已暂停..."));
        QTest::qWait(200);
        const QImage shot = grab(&window, QStringLiteral("main-paused") + suffix);
        QVERIFY(countColours(areaOf(shot, &window, buttonOf(window, "btnConvertPause")), isGreen) > 0);
        QVERIFY2(cutTexts(&window).isEmpty(), qPrintable(cutTexts(&window).join(QLatin1String("; "))));
        line->setText(batchProgressText(0.42, 3599, false));
        QVERIFY2(cutTexts(&window).isEmpty(), qPrintable(cutTexts(&window).join(QLatin1String("; "))));

        answerer.answers << true << true;
        buttonOf(window, "btnConvertStart")->click();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.texts, (QStringList{QStringLiteral("确认取消？\n未完成的转码任务将会取消。\n"),
                                                  QStringLiteral("转码任务完成！\n成功： 0 个\n取消： 3 个\n")}), processWaitMs);
    }
    // Rows of a batch: a source whose name is near the file system's limit
    // converted under a shortened name, a row cancelled alone, one
    // converting; the done row's menu open. Every name and entry fits.
    void checkRowsAndMenu(const QString &suffix)
    {
        const FreshSavedList ownList;
        MainWindow window;
        DialogAnswerer answerer;
        QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
        const QString out = work.filePath(QStringLiteral("rows-out"));
        QDir().mkpath(out);
        outputDir = out.toUtf8();
        window.findChild<ConversionQueue *>()->setParallelJobs(2);
        const QString longName = QStringLiteral("流浪者 第一季 第01集 ")
                                 + QStringLiteral("他们说的故事从这里开始").repeated(6)
                                 + QStringLiteral(" 1080p 中英字幕.mkv");
        QVERIFY(longName.toUtf8().size() <= 255);
        const QByteArray busy = writeFakeTranscoder(
            work.path(), QStringLiteral("busy"),
            "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
            "printf 'frame=1 time=00:00:03.00 bitrate=1\\r'\nexec sleep 60\n");
        const QStringList names{longName, QStringLiteral("会议记录.mkv"), QStringLiteral("演示视频.avi")};
        for (const QString &name : names) {
            touch(work.filePath(name), QByteArray(2 * 1024 * 1024, 'x'));
            QVERIFY(window.addInputFile(work.filePath(name).toUtf8()) == ResultOk);
            rowItem(window, listOf(window)->count() - 1)->setTranscoderProgram(busy);
        }
        rowItem(window, 0)->setTranscoderProgram(
            writeFakeTranscoder(work.path(), QStringLiteral("ok"), succeedingBody()));
        window.setMainState(MainWindow::MainStateReady);
        buttonOf(window, "btnConvertStart")->click();
        QTRY_VERIFY_WITH_TIMEOUT(rowItem(window, 0)->convertState() == ConvertDone
                                     && rowItem(window, 2)->findChild<QProgressBar *>()->value() == 30,
                                 30000);
        const QString output = QString::fromUtf8(rowItem(window, 0)->outputPath());
        QVERIFY(QFileInfo(output).fileName().toUtf8().size() <= 255 - 7);
        QVERIFY(QFileInfo::exists(output));
        QCOMPARE(rowItem(window, 0)->toolTip(),
                 QStringLiteral("源文件：%1\n输出文件：%2").arg(work.filePath(longName), output));
        const QString shown = rowItem(window, 0)->findChild<QLabel *>(QStringLiteral("filename"))->text();
        QVERIFY2(shown.startsWith(QStringLiteral("流浪者")) && shown.endsWith(QStringLiteral("中英字幕.mkv"))
                     && shown.contains(QStringLiteral("…")),
                 qPrintable(shown));

        rowItem(window, 1)->findChild<QPushButton *>(QStringLiteral("btnDel"))->click();
        QCOMPARE(answerer.texts, QStringList{QStringLiteral("\n取消此文件的转码？\n")});
        QCOMPARE(rowItem(window, 1)->findChild<QLabel *>(QStringLiteral("status"))->text(),
                 QStringLiteral("转码取消   "));

        // A right click on the done row, below its name so that the picture
        // shows both.
        QMenu *menu = rightClick(rowItem(window, 0)->findChild<QProgressBar *>());
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu, processWaitMs));
        QStringList entries;
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            entries << action->text();
            QVERIFY(action->isEnabled());
            QVERIFY2(menu->actionGeometry(action).width() > menu->fontMetrics().horizontalAdvance(action->text()),
                     qPrintable(action->text()));
        }
        QCOMPARE(entries, (QStringList{QStringLiteral("播放转换结果"), QStringLiteral("打开所在文件夹"),
                                       QStringLiteral("重新转码")}));
        menu->setActiveAction(menu->actions().first());
        QTest::qWait(200);
        const QImage shot = grab(&window, QStringLiteral("main-rows") + suffix);
        QVERIFY2(cutTexts(&window).isEmpty(), qPrintable(cutTexts(&window).join(QLatin1String("; "))));
        // The entry under the pointer is the window's green, right of its text.
        const QRect first = menu->actionGeometry(menu->actions().first());
        const QPoint beside = menu->mapToGlobal(QPoint(first.right() - 4, first.center().y()))
                              - window.frameGeometry().topLeft();
        QVERIFY(isGreen(shot.pixelColor((QPointF(beside) * shot.devicePixelRatio()).toPoint())));
        menu->close();

        // The cancelled row offers only to convert again, and the running
        // batch takes it at once.
        menu = rightClick(rowItem(window, 1)->findChild<QProgressBar *>());
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 1);
        menu->actions().first()->trigger();
        QCOMPARE(rowItem(window, 1)->convertState(), ConvertRunning);
        menu->close();

        answerer.answers << true << true;
        buttonOf(window, "btnConvertStart")->click();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 3, processWaitMs);
        QCOMPARE(answerer.texts.at(2), QStringLiteral("转码任务完成！\n成功： 1 个\n取消： 2 个\n"));
    }
    // A running batch of real clips after a size was chosen in the settings
    // dialog for all: each row gives its length and what it becomes, whole,
    // the bar names the size beside the quality, and each level says what
    // it sets.
    void checkRunningTargets(const QString &suffix)
    {
        const FreshSavedList ownList;
        MainWindow window;
        DialogAnswerer answerer;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString out = work.filePath(QStringLiteral("targets-out"));
        QDir().mkpath(out);
        outputDir = out.toUtf8();
        window.findChild<ConversionQueue *>()->setParallelJobs(2);
        const QString sunset = work.filePath(QStringLiteral("海边日落.mp4"));
        const QString upright = work.filePath(QStringLiteral("手机竖拍.mp4"));
        const QString meeting = work.filePath(QStringLiteral("会议记录 第二部分.mkv"));
        QVERIFY(makeTestClip(sunset, 8) && makeTurnedClip(upright, 3) && makeTestClip(meeting, 5));
        const QByteArray busy = writeFakeTranscoder(
            work.path(), QStringLiteral("busy"),
            "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
            "printf 'frame=1 time=00:00:04.00 bitrate=1\\r'\nexec sleep 60\n");
        for (const QString &path : {sunset, upright, meeting}) {
            QVERIFY(window.addInputFile(path.toUtf8()) == ResultOk);
            rowItem(window, listOf(window)->count() - 1)->setTranscoderProgram(busy);
        }
        window.setMainState(MainWindow::MainStateReady);

        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cboxVQuality"))->itemData(1, Qt::ToolTipRole),
                 QVariant(QStringLiteral("CRF 24（H.264/H.265），其他编码 512 kb/s，最高 18 帧/秒")));
        QTimer::singleShot(50, &window, [] {
            auto *dialog = qobject_cast<CDlgAVSettings *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QComboBox *>(QStringLiteral("cboxR"))->setCurrentText(QStringLiteral("1280x720"));
            dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
        });
        buttonOf(window, "btnQualitySettings")->click();
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("labelCustomised"))->text(),
                 QStringLiteral("（已自定义：1280x720）"));

        const auto target = [&window](int row) {
            return rowItem(window, row)->findChild<QLabel *>(QStringLiteral("target"));
        };
        // 320x240 bars and a quarter-turned 320x240 clip, in a 1280x720 box;
        // the .mp4 tracks already fit and are copied; the .mkv gives no bit
        // rate, so its track is encoded.
        const QStringList expected{QStringLiteral("0:08 → MP4 · H.264 960x720 18 帧/秒 · AAC 直接复制"),
                                   QStringLiteral("0:03 → MP4 · H.264 540x720 18 帧/秒 · AAC 直接复制"),
                                   QStringLiteral("0:05 → MP4 · H.264 960x720 18 帧/秒 · AAC")};
        for (int row = 0; row < expected.size(); ++row)
            QTRY_COMPARE_WITH_TIMEOUT(target(row)->text(), expected.at(row), 30000);

        buttonOf(window, "btnConvertStart")->click();
        QTRY_VERIFY_WITH_TIMEOUT(rowItem(window, 0)->findChild<QProgressBar *>()->value() > 0
                                     && rowItem(window, 1)->findChild<QProgressBar *>()->value() > 0,
                                 30000);
        auto *line = window.findChild<QLabel *>(QStringLiteral("labelBatchProgress"));
        QTRY_VERIFY_WITH_TIMEOUT(!line->text().startsWith(QStringLiteral("总进度 0%")), 30000);
        QTest::qWait(200);
        grab(&window, QStringLiteral("main-targets") + suffix);
        QVERIFY2(cutTexts(&window).isEmpty(), qPrintable(cutTexts(&window).join(QLatin1String("; "))));
        for (int row = 0; row < expected.size(); ++row)
            QCOMPARE(target(row)->text(), target(row)->toolTip());
        // Each row's target starts at the same place, right of the size.
        const auto left = [&window](int row, const char *name) {
            return rowItem(window, row)->findChild<QLabel *>(QLatin1String(name))->mapTo(&window, QPoint()).x();
        };
        QVERIFY(left(0, "target") > left(0, "filesize") && left(2, "target") == left(0, "target"));

        answerer.answers << true << true;
        buttonOf(window, "btnConvertStart")->click();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, 30000);
    }
    // The context menu a right click on `widget` opens.
    static QMenu *rightClick(QWidget *widget)
    {
        const QPoint at(10, widget->height() / 2);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &click);
        return qobject_cast<QMenu *>(QApplication::activePopupWidget());
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
        // The output folder an earlier run remembered is not this run's.
        qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toUtf8());
        QDir::setCurrent(work.path());
    }
    // Each window starts without the rows the one before left.
    void init() { savedList.reset(new FreshSavedList); }

    void emptyWindowShowsTheGuide()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
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
        QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
        outputDir = work.path().toUtf8();
        const QStringList names = {"假期 旅行.mp4", "会议记录.mkv", "演示视频.avi", "family.mov"};
        for (const QString &name : names) {
            touch(work.filePath(name), QByteArray(3 * 1024 * 1024 + 300000, 'x'));
            QVERIFY(window.addInputFile(work.filePath(name).toUtf8()) == ResultOk);
        }
        window.setMainState(MainWindow::MainStateReady);
        // One at a time, so that the picture shows a row in each state.
        window.findChild<ConversionQueue *>()->setParallelJobs(1);
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
        QTRY_COMPARE_WITH_TIMEOUT(rowItem(window, 2)->findChild<QProgressBar *>()->value(), 60, processWaitMs);
        QTest::qWait(200);
        shot = grab(&window, QStringLiteral("main-converting.png"));
        QVERIFY(isRed(pixelOf(shot, &window, buttonOf(window, "btnConvertStart"), QPoint(20, 30))));

        answerer.answers << true << true;
        buttonOf(window, "btnConvertStart")->click();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, processWaitMs);
    }

    void messageDialog()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
        CDlgMessage dialog(&window, 2, QStringLiteral("确认取消？\n未完成的转码任务将会取消。\n"));
        QVERIFY(QTest::qWaitForWindowExposed(&dialog, processWaitMs));
        QTest::qWait(200);
        const QImage shot = grab(&dialog, QStringLiteral("message-dialog.png"));
        QVERIFY(isGreen(shot.pixelColor(100, 5)));
    }

    void settingsDialog()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
        CDlgAVSettings dialog(&window);
        dialog.setSettings(makeAVSettings(0, 1, 1));
        QVERIFY(QTest::qWaitForWindowExposed(&dialog, processWaitMs));
        QTest::qWait(200);
        const QImage shot = grab(&dialog, QStringLiteral("settings-dialog.png"));
        QVERIFY(isGreen(shot.pixelColor(100, 5)));
    }

    void wholeAtEveryDensity_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QSize>("pixels");
        QTest::newRow("96 dpi") << 96 << QSize(800, 510);
        QTest::newRow("120 dpi") << 120 << QSize(1000, 637);
        QTest::newRow("192 dpi") << 192 << QSize(1600, 1020);
    }

    // The window and both dialogs on a screen of each density: scaled as
    // one, every text whole, pictures drawn from the files of the density
    // and cut at the right state, the video filling the preview. A density
    // other than this X server's runs in a copy of this test.
    void wholeAtEveryDensity()
    {
        QFETCH(int, dpi);
        QFETCH(QSize, pixels);
        const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
        if (qAbs(ratio - dpi / 96.0) > 0.01) {
            QVERIFY2(qEnvironmentVariableIsEmpty(densityChild),
                     qPrintable(QStringLiteral("scale factor %1 at %2 dpi").arg(ratio).arg(dpi)));
            runOnPrivateScreen(dpi, QTest::currentDataTag());
            return;
        }
        const QString suffix = QStringLiteral("-%1dpi.png").arg(dpi);

        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
        QTest::qWait(300);
        const QImage shot = grab(&window, QStringLiteral("main") + suffix);
        QCOMPARE(windowPixels(&window), pixels);
        const QStringList cut = cutTexts(&window);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1String("; "))));
        checkPictures(shot, window, ratio);
        checkDialogs(window, suffix);
        checkPreviewFills(window, suffix);
        checkPausedRun(suffix);
        checkRowsAndMenu(suffix);
        checkRunningTargets(suffix);
    }

    void playerPlaying()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
        playFirstRow(window, clip(QStringLiteral("preview.mp4")));
        const QImage shot = grab(&window, QStringLiteral("main-playing.png"));
        // The clip shows saturated colour bars; the still picture has none.
        QWidget *display = window.findChild<QWidget *>(QStringLiteral("display"));
        QSet<QRgb> colours;
        for (int x = 5; x < display->width(); x += 5)
            colours.insert(pixelOf(shot, &window, display, QPoint(x, display->height() / 3)).rgb());
        QVERIFY2(colours.size() > 5, qPrintable(QString::number(colours.size())));
    }
};

// The program's own start-up rather than QTEST_MAIN's, which would pin the
// fonts to 96 dpi and hide what a denser screen does to texts.
int main(int argc, char *argv[])
{
    enableHighDpiScaling();
    QApplication application(argc, argv);
    TestScreenshots test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_screenshots.moc"
