#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include "batchendaction.h"
#include "catalogue.h"
#include "clips.h"
#include "conversionqueue.h"
#include "dlgavsettings.h"
#include "styleconstants.h"
#include "testsupport.h"
#include "transcodecommand.h"
#include "waits.h"

namespace {

// The row as the user sees it: the list builds a row's form once it shows it.
InputItem *shownRowItem(MainWindow &window, int row)
{
    InputItem *item = rowItem(window, row);
    const bool shown = QTest::qWaitFor([item] { return item && item->hasForm() && item->isVisible(); }, processWaitMs);
    return shown ? item : nullptr;
}

} // namespace

// Drives the real window offscreen: every test starts in an empty working
// folder (where conf_main.json lives) and an empty home folder (where the
// movies folder is).
class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *work = nullptr;
    QString home;
    QString videos;

    QString file(const QString &name) const { return work->filePath(name); }
    QString listed(const QString &name)
    {
        touch(file(name));
        return file(name);
    }
    // Two listed files, the window ready, "应用到所有" as given.
    bool listTwoFiles(MainWindow &window, bool applyAll)
    {
        for (const char *name : {"a.mp4", "b.mp4"}) {
            if (window.addInputFile(listed(QLatin1String(name)).toUtf8()) != ResultOk)
                return false;
        }
        window.setMainState(MainWindow::MainStateReady);
        window.findChild<QCheckBox *>(QStringLiteral("applyAll"))->setChecked(applyAll);
        return true;
    }
    // Makes the choices on the settings dialog once it is open.
    void answerSettingsDialog(std::function<void(CDlgAVSettings *)> choose)
    {
        QTimer::singleShot(50, this, [choose] {
            auto *dialog = qobject_cast<CDlgAVSettings *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            choose(dialog);
        });
    }
    QByteArray readConfig() const
    {
        QFile config(file(QStringLiteral("conf_main.json")));
        config.open(QIODevice::ReadOnly);
        return config.readAll();
    }
    static QByteArray configFor(const QString &dir)
    {
        QJsonObject object;
        object.insert(QStringLiteral("VideosDir"), dir);
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }
    static void drop(MainWindow &window, const QList<QUrl> &urls)
    {
        auto *data = new QMimeData;
        data->setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        if (enter.isAccepted()) {
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&window, &drop);
        }
        delete data;
    }
    static void useProgram(MainWindow &window, const QByteArray &program)
    {
        for (int row = 0; row < listOf(window)->count(); ++row)
            rowItem(window, row)->setTranscoderProgram(program);
    }
    static QComboBox *combo(MainWindow &window, const char *name)
    {
        return window.findChild<QComboBox *>(QLatin1String(name));
    }
    static bool isConverting(MainWindow &window)
    {
        return buttonOf(window, "btnConvertStart")->text() == QStringLiteral("取消转码");
    }

private slots:
    void init();
    void cleanup();

    void firstStartCreatesConfigAndMoviesFolder();
    void storedFolderIsUsedAndLeftUntouched();
    void unusableConfigIsReplaced_data();
    void unusableConfigIsReplaced();
    void chosenFolderReplacesOtherMembers();

    void addingChecksEachFile_data();
    void addingChecksEachFile();
    void addingByDialog();
    void droppingRefusesWhatIsNotAVideo();
    void listChangesDuringRun();
    void deleteAndClearAskFirst_data();
    void deleteAndClearAskFirst();

    void runSkipsDoneRowsAndCountsOnlyItsOwn();
    void changedSettingsConvertDoneRowsAgain();
    void cancelKeepsResultsOfTheRun();
    void singleFailedRow();
    void cancelWithTwoWaitingRows();
    void cancelOneOfTwoConvertingRows_data();
    void cancelOneOfTwoConvertingRows();
    void missingTranscoderIsReported();
    void jobEndingWhileQuestionIsOpen();
    void nextJobFailingToStartIsRecorded();
    void outputFolderGoneBeforeTheRun_data();
    void outputFolderGoneBeforeTheRun();
    void sameBaseNameDoesNotOverwrite();
    void closingDuringRun_data();
    void closingDuringRun();
    void actionWhenTheBatchEnds_data();
    void actionWhenTheBatchEnds();

    void containerCascade_data();
    void containerCascade();
    void switchingRowsKeepsEachRowsRecord();
    void newFileGetsWhatTheBarShows_data();
    void newFileGetsWhatTheBarShows();
    void settingsDialogFromBar_data();
    void settingsDialogFromBar();
    void finerChoicesReachFfmpeg_data();
    void finerChoicesReachFfmpeg();

    void dropDownsShowTheCurrentEntry_data();
    void dropDownsShowTheCurrentEntry();

    void fullRunWithRealTranscoder();
};

void TestMainWindow::init()
{
    work = new QTemporaryDir;
    home = work->filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    qputenv("HOME", home.toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_STATE_HOME");
    videos = home + QStringLiteral("/Videos");
    QDir::setCurrent(work->path());
}

void TestMainWindow::cleanup()
{
    QTRY_VERIFY_WITH_TIMEOUT(!hasChildProcesses(), processWaitMs);
    QDir::setCurrent(QDir::tempPath());
    delete work;
    work = nullptr;
}

// ----------------------------------------------------------- configuration

void TestMainWindow::firstStartCreatesConfigAndMoviesFolder()
{
    QVERIFY(!QFileInfo::exists(videos));
    MainWindow window;
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->text(), videos);
    QVERIFY(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->isReadOnly());
    // Without one in the working folder, the file lives in the user's
    // configuration folder.
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("conf_main.json"))));
    QFile config(home + QStringLiteral("/.config/") + QCoreApplication::applicationName()
                 + QStringLiteral("/conf_main.json"));
    QVERIFY(config.open(QIODevice::ReadOnly));
    QCOMPARE(config.readAll(), configFor(videos));
    QVERIFY(QFileInfo(videos).isDir());
}

void TestMainWindow::storedFolderIsUsedAndLeftUntouched()
{
    const QString out = file(QStringLiteral("out"));
    QDir().mkpath(out);
    touch(file(QStringLiteral("conf_main.json")), "{\n  \"VideosDir\": \"" + out.toUtf8() + "\"\n}\n");
    const QDateTime written = QDateTime::currentDateTime().addSecs(-3600);
    QFile config(file(QStringLiteral("conf_main.json")));
    QVERIFY(config.open(QIODevice::ReadWrite));
    QVERIFY(config.setFileTime(written, QFileDevice::FileModificationTime));
    config.close();

    MainWindow window;
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->text(), out);
    QCOMPARE(QFileInfo(config).lastModified(), written);
}

void TestMainWindow::unusableConfigIsReplaced_data()
{
    QTest::addColumn<QByteArray>("content");
    // A chosen folder that is not there (an unplugged disk) stays chosen.
    QTest::newRow("vanished folder, kept") << QByteArray("{\"VideosDir\":\"/nonexistent/gone\"}");
    QTest::newRow("number") << QByteArray("{\"VideosDir\":42}");
    QTest::newRow("empty string") << QByteArray("{\"VideosDir\":\"\"}");
    QTest::newRow("no member") << QByteArray("{\"Other\":\"/tmp\"}");
    QTest::newRow("not an object") << QByteArray("[\"/tmp\"]");
    QTest::newRow("not JSON") << QByteArray("VideosDir=/tmp");
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\x01", 5);
    QTest::newRow("names a file, kept") << QByteArray("{\"VideosDir\":\"conf_main.json\"}");
    QTest::newRow("deeply nested") << QByteArray(100000, '[') + QByteArray(100000, ']');
}

void TestMainWindow::unusableConfigIsReplaced()
{
    QFETCH(QByteArray, content);
    touch(file(QStringLiteral("conf_main.json")), content);
    MainWindow window;
    DialogAnswerer answerer;
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->text(), videos);
    const bool kept = QByteArray(QTest::currentDataTag()).endsWith("kept");
    QCOMPARE(readConfig(), kept ? content : configFor(videos));

    // The videos folder serves this run; a kept choice is named once, when
    // the first batch starts.
    QVERIFY(window.addInputFile(listed(QStringLiteral("a.mp4")).toUtf8()) == ResultOk);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("ok"), succeedingBody()));
    for (int run = 0; run < 2; ++run) {
        rowItem(window, 0)->setSettings(makeAVSettings(run, 1, 1));
        buttonOf(window, "btnConvertStart")->click();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.filter(QStringLiteral("转码任务完成！")).size(), run + 1, processWaitMs);
    }
    const QString notice = QStringLiteral("输出文件夹不存在：\n%1\n本次将转码到：\n%2\n")
                               .arg(QDir::cleanPath(QDir::current().absoluteFilePath(
                                        QString::fromUtf8(content.mid(14, content.size() - 16)))),
                                    videos);
    QCOMPARE(answerer.texts.filter(QStringLiteral("输出文件夹不存在")), kept ? QStringList{notice} : QStringList());
    QVERIFY(QFileInfo::exists(QString::fromUtf8(rowItem(window, 0)->outputPath())));
    QVERIFY(rowItem(window, 0)->outputPath().startsWith(videos.toUtf8()));
}

void TestMainWindow::chosenFolderReplacesOtherMembers()
{
    const QString out = file(QStringLiteral("out"));
    const QString chosen = file(QStringLiteral("chosen"));
    QDir().mkpath(out);
    QDir().mkpath(chosen);
    touch(file(QStringLiteral("conf_main.json")),
          "{\"VideosDir\":\"" + out.toUtf8() + "\",\"Theme\":\"dark\"}");
    MainWindow window;
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->text(), out);

    answerFileDialog({chosen});
    buttonOf(window, "btnOutputDir")->click();
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->text(), chosen);
    QCOMPARE(readConfig(), configFor(chosen));

    // A job started afterwards writes into the new folder.
    QVERIFY(window.addInputFile(listed(QStringLiteral("a.mp4")).toUtf8()) == ResultOk);
    QCOMPARE(QFileInfo(QString::fromUtf8(rowItem(window, 0)->plannedOutputPath())).absolutePath(),
             chosen);
}

// -------------------------------------------------------------- input list

void TestMainWindow::addingChecksEachFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("upper-case .MP4") << "a.MP4" << true;
    QTest::newRow(".rmvb") << "b.rmvb" << true;
    QTest::newRow("Chinese, spaces and a quote") << "我的 \"视频\".mkv" << true;
    QTest::newRow(".txt") << "b.txt" << false;
    QTest::newRow(".m4v") << "c.m4v" << true;
    QTest::newRow("no dot") << "movie" << false;
    QTest::newRow("non-ASCII capital in suffix") << "d.MKÄ" << false;
}

void TestMainWindow::addingChecksEachFile()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    MainWindow window;
    const QByteArray path = listed(name).toUtf8();
    QCOMPARE(window.addInputFile(path), accepted ? ResultOk : ResultInvalidArgument);
    QCOMPARE(listOf(window)->count(), accepted ? 1 : 0);
    QCOMPARE(window.addInputFile(file(QStringLiteral("missing.mp4")).toUtf8()), ResultInvalidArgument);
    if (accepted) {
        QCOMPARE(rowItem(window, 0)->inputPath(), path);
        QCOMPARE(window.addInputFile(path), ResultInvalidArgument);
        QCOMPARE(listOf(window)->item(0)->sizeHint(), QSize(398, 48));
    }
}

void TestMainWindow::addingByDialog()
{
    MainWindow window;
    DialogAnswerer answerer;
    answerFileDialog({});
    buttonOf(window, "btnInputFile")->click();
    QCOMPARE(window.findChild<QStackedWidget *>(QStringLiteral("stackInput"))->currentIndex(), 0);
    QCOMPARE(buttonOf(window, "btnConvertStart")->styleSheet(), QString::fromLatin1(convertDisableStyle));

    QDir().mkpath(file(QStringLiteral("v")));
    const QString a = listed(QStringLiteral("v/a.MP4"));
    const QString b = listed(QStringLiteral("v/b.txt"));
    answerFileDialog({a, b});
    buttonOf(window, "btnInputFile")->click();
    QCOMPARE(listOf(window)->count(), 1);
    QCOMPARE(rowItem(window, 0)->inputPath(), a.toUtf8());
    QCOMPARE(window.findChild<QStackedWidget *>(QStringLiteral("stackInput"))->currentIndex(), 1);
    QCOMPARE(buttonOf(window, "btnConvertStart")->styleSheet(), QString::fromLatin1(convertStartStyle));
    QVERIFY(answerer.texts.isEmpty());
}

void TestMainWindow::droppingRefusesWhatIsNotAVideo()
{
    MainWindow window;
    QDir().mkpath(file(QStringLiteral("folder.mp4")));
    drop(window, {QUrl(QStringLiteral("https://www.example.com/clip.mp4")),
                  QUrl::fromLocalFile(file(QStringLiteral("folder.mp4"))),
                  QUrl::fromLocalFile(file(QStringLiteral("missing.mp4")))});
    QCOMPARE(listOf(window)->count(), 0);
    QCOMPARE(window.findChild<QStackedWidget *>(QStringLiteral("stackInput"))->currentIndex(), 0);

    const QString lower = listed(QStringLiteral("a.mp4"));
    const QString upper = listed(QStringLiteral("A.mp4"));
    QCOMPARE(window.addInputFile(lower.toUtf8()), ResultOk);
    drop(window, {QUrl::fromLocalFile(lower), QUrl::fromLocalFile(upper)});
    QCOMPARE(listOf(window)->count(), 2);
    QCOMPARE(rowItem(window, 1)->inputPath(), upper.toUtf8());
    QCOMPARE(window.findChild<QStackedWidget *>(QStringLiteral("stackInput"))->currentIndex(), 1);
}

// Files join a running batch, waiting; rows not converting can go; the
// converting row stays unless its cancel is confirmed, and the settings stay
// as they are.
void TestMainWindow::listChangesDuringRun()
{
    MainWindow window;
    DialogAnswerer answerer;
    window.findChild<ConversionQueue *>()->setParallelJobs(1);
    QVERIFY(window.addInputFile(listed(QStringLiteral("a.mp4")).toUtf8()) == ResultOk);
    const QByteArray stall = writeFakeTranscoder(work->path(), QStringLiteral("stall"), stallingBody());
    useProgram(window, stall);
    buttonOf(window, "btnConvertStart")->click();
    QVERIFY(isConverting(window));
    // The job starts once its file has been read.
    QTRY_COMPARE_WITH_TIMEOUT(rowItem(window, 0)->convertState(), ConvertRunning, 30000);

    drop(window, {QUrl::fromLocalFile(listed(QStringLiteral("b.mp4")))});
    window.addInputPaths({listed(QStringLiteral("c.mp4"))});
    QCOMPARE(listOf(window)->count(), 3);
    useProgram(window, stall);
    answerer.answers << false;
    emit rowItem(window, 0)->ItemDelete(rowItem(window, 0));
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("\n取消此文件的转码？\n")});
    QCOMPARE(rowItem(window, 0)->convertState(), ConvertRunning);
    emit rowItem(window, 1)->ItemDelete(rowItem(window, 1));
    QCOMPARE(listOf(window)->count(), 2);
    QCOMPARE(rowItem(window, 1)->inputPath(), file(QStringLiteral("c.mp4")).toUtf8());
    QCOMPARE(rowItem(window, 1)->convertState(), ConvertWaiting);
    for (const char *name : {"cboxVContainer", "cboxVQuality", "cboxAQuality"})
        QVERIFY(!combo(window, name)->isEnabled());

    buttonOf(window, "btnInputClear")->click();
    QCOMPARE(listOf(window)->count(), 1);
    QCOMPARE(rowItem(window, 0)->convertState(), ConvertRunning);
    QVERIFY(isConverting(window));

    answerer.answers << true << true;
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 5, processWaitMs);
    QCOMPARE(answerer.texts.at(4), QStringLiteral("转码任务完成！\n成功： 0 个\n取消： 1 个\n"));
}

void TestMainWindow::deleteAndClearAskFirst_data()
{
    QTest::addColumn<bool>("clearAll");
    QTest::addColumn<bool>("confirm");
    QTest::newRow("delete, OK") << false << true;
    QTest::newRow("delete, Cancel") << false << false;
    QTest::newRow("clear, OK") << true << true;
    QTest::newRow("clear, Cancel") << true << false;
}

void TestMainWindow::deleteAndClearAskFirst()
{
    QFETCH(bool, clearAll);
    QFETCH(bool, confirm);
    MainWindow window;
    DialogAnswerer answerer;
    buttonOf(window, "btnInputClear")->click();
    QCOMPARE(answerer.texts.size(), 0);

    const QByteArray path = listed(QStringLiteral("a.mp4")).toUtf8();
    QVERIFY(window.addInputFile(path) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    answerer.answers << confirm;
    if (clearAll)
        buttonOf(window, "btnInputClear")->click();
    else
        shownRowItem(window, 0)->findChild<QPushButton *>(QStringLiteral("btnDel"))->click();
    QCOMPARE(answerer.texts, QStringList{clearAll ? "\n确认清空？\n" : "\n确认删除？\n"});
    QCOMPARE(listOf(window)->count(), confirm ? 0 : 1);
    QCOMPARE(window.findChild<QStackedWidget *>(QStringLiteral("stackInput"))->currentIndex(),
             confirm ? 0 : 1);
    // A file whose row went can be listed again; one still listed cannot.
    QCOMPARE(window.addInputFile(path), confirm ? ResultOk : ResultInvalidArgument);
    QCOMPARE(listOf(window)->count(), 1);
}

// -------------------------------------------------------- conversion queue

void TestMainWindow::runSkipsDoneRowsAndCountsOnlyItsOwn()
{
    MainWindow window;
    DialogAnswerer answerer;
    const QByteArray ok = writeFakeTranscoder(work->path(), QStringLiteral("ok"), succeedingBody());
    const QByteArray bad = writeFakeTranscoder(work->path(), QStringLiteral("bad"), failingBody());
    for (const char *name : {"a.mp4", "b.avi", "c.mkv"})
        QVERIFY(window.addInputFile(listed(QLatin1String(name)).toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, ok);
    rowItem(window, 1)->setTranscoderProgram(bad);

    // First run leaves [done, failed, done]; the second converts only the
    // failed row and counts only that one.
    buttonOf(window, "btnConvertStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window), processWaitMs);
    QCOMPARE(rowItem(window, 0)->convertState(), ConvertDone);
    QCOMPARE(rowItem(window, 1)->convertState(), ConvertError);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, processWaitMs);
    QVERIFY(answerer.texts.at(0).contains(QStringLiteral("失败： 1 个")));

    const QString firstOutput = QString::fromUtf8(rowItem(window, 0)->outputPath());
    QVERIFY(QFile::remove(firstOutput));
    rowItem(window, 1)->setTranscoderProgram(ok);
    buttonOf(window, "btnConvertStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window), processWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, processWaitMs);
    QCOMPARE(answerer.texts.at(1), QStringLiteral("转码任务完成！\n成功： 1 个\n"));
    QCOMPARE(rowItem(window, 1)->convertState(), ConvertDone);
    QVERIFY(!QFileInfo::exists(firstOutput));

    // Every row done: the nothing-to-convert notice, and no run.
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 3, processWaitMs);
    QCOMPARE(answerer.texts.at(2),
             QStringLiteral("没有需要转码的文件。\n点击<添加文件>选择视频文件，或直接<拖拽>文件至窗口内。\n"));
    QVERIFY(!isConverting(window));
}

void TestMainWindow::changedSettingsConvertDoneRowsAgain()
{
    MainWindow window;
    DialogAnswerer answerer;
    const QString out = file(QStringLiteral("out"));
    QDir().mkpath(out);
    outputDir = out.toUtf8();
    for (const char *name : {"a.mp4", "b.mkv"})
        QVERIFY(window.addInputFile(listed(QLatin1String(name)).toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("ok"), succeedingBody()));
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, processWaitMs);
    QCOMPARE(answerer.texts.at(0), QStringLiteral("转码任务完成！\n成功： 2 个\n"));

    // Another container: the finished list converts again, all of it.
    combo(window, "cboxVContainer")->setCurrentIndex(1);
    for (int row = 0; row < 2; ++row)
        QCOMPARE(rowItem(window, row)->convertState(), ConvertWaiting);
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, processWaitMs);
    QCOMPARE(answerer.texts.at(1), QStringLiteral("转码任务完成！\n成功： 2 个\n"));
    for (const char *name : {"Vantor转码-a.flv", "Vantor转码-b.flv"})
        QVERIFY(QFileInfo::exists(out + '/' + QString::fromUtf8(name)));

    // The same record handed out again changes nothing: the rows stay done.
    window.findChild<QCheckBox *>(QStringLiteral("applyAll"))->setChecked(false);
    window.findChild<QCheckBox *>(QStringLiteral("applyAll"))->setChecked(true);
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 3, processWaitMs);
    QVERIFY(answerer.texts.at(2).startsWith(QStringLiteral("没有需要转码的文件。")));
}

void TestMainWindow::cancelKeepsResultsOfTheRun()
{
    MainWindow window;
    DialogAnswerer answerer;
    const QString a = listed(QStringLiteral("a.mp4"));
    for (const QString &path : {a, listed(QStringLiteral("b.mp4")), listed(QStringLiteral("c.mp4"))})
        QVERIFY(window.addInputFile(path.toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("stall"), stallingBody()));
    rowItem(window, 0)->setTranscoderProgram(
        writeFakeTranscoder(work->path(), QStringLiteral("bad"), failingBody()));
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(rowItem(window, 1)->convertState(), ConvertRunning, processWaitMs);

    answerer.answers << true;
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, processWaitMs);
    QCOMPARE(answerer.texts.at(1), QStringLiteral("转码任务完成！\n成功： 0 个\n取消： 2 个\n失败： 1 个\n")
                                       + a + QStringLiteral(" : 未识别的输入文件格式！\n"));
    // The failed row says what the summary says.
    QCOMPARE(rowItem(window, 0)->convertState(), ConvertError);
    QCOMPARE(rowItem(window, 0)->findChild<QLabel *>(QStringLiteral("status"))->text(),
             QStringLiteral("转码错误   "));
    QCOMPARE(rowItem(window, 1)->convertState(), ConvertCancelled);
    QCOMPARE(rowItem(window, 2)->convertState(), ConvertCancelled);
}

void TestMainWindow::singleFailedRow()
{
    MainWindow window;
    DialogAnswerer answerer;
    const QString source = listed(QStringLiteral("b.avi"));
    QVERIFY(window.addInputFile(source.toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("bad"), failingBody()));
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, processWaitMs);
    QCOMPARE(answerer.texts.at(0), QStringLiteral("转码任务完成！\n成功： 0 个\n失败： 1 个\n")
                                       + source + QStringLiteral(" : 未识别的输入文件格式！\n"));
    QVERIFY(!isConverting(window));
}

void TestMainWindow::cancelWithTwoWaitingRows()
{
    MainWindow window;
    DialogAnswerer answerer;
    const QString out = file(QStringLiteral("out"));
    QDir().mkpath(out);
    outputDir = out.toUtf8();
    for (const char *name : {"a.mp4", "b.mp4"})
        QVERIFY(window.addInputFile(listed(QLatin1String(name)).toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("stall"), stallingBody()));
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(rowItem(window, 0)->convertState(), ConvertRunning, 30000);
    const QString partial = QString::fromUtf8(rowItem(window, 0)->partialPath());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(partial), 30000);

    answerer.answers << true;
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, processWaitMs);
    QCOMPARE(answerer.texts.at(0), QStringLiteral("确认取消？\n未完成的转码任务将会取消。\n"));
    QCOMPARE(answerer.texts.at(1), QStringLiteral("转码任务完成！\n成功： 0 个\n取消： 2 个\n"));
    QCOMPARE(rowItem(window, 0)->convertState(), ConvertCancelled);
    QCOMPARE(rowItem(window, 1)->convertState(), ConvertCancelled);
    QVERIFY(!QFileInfo::exists(partial));
    QVERIFY(!isConverting(window));
}

void TestMainWindow::cancelOneOfTwoConvertingRows_data()
{
    QTest::addColumn<bool>("paused");
    QTest::newRow("running batch") << false;
    QTest::newRow("paused batch") << true;
}

// The trash button of a converting row cancels that job alone: its child
// (stopped or not) and its partial file go, the other job finishes, and the
// batch goes on with the next file, at once or once it is resumed.
void TestMainWindow::cancelOneOfTwoConvertingRows()
{
    QFETCH(bool, paused);
    MainWindow window;
    DialogAnswerer answerer;
    const QString out = file(QStringLiteral("out"));
    QDir().mkpath(out);
    outputDir = out.toUtf8();
    auto *queue = window.findChild<ConversionQueue *>();
    queue->setParallelJobs(2);
    for (const char *name : {"a.mp4", "b.mp4", "c.mp4"})
        QVERIFY(window.addInputFile(listed(QLatin1String(name)).toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    // Each job writes, then waits for its source's go file.
    useProgram(window, writeFakeTranscoder(
                           work->path(), QStringLiteral("ffmpeg"),
                           "in=\"\"; prev=\"\"\nfor a in \"$@\"; do [ \"$prev\" = -i ] && in=$a; prev=$a; done\n"
                           "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
                           "printf 'partial' > \"$out\"\n"
                           "i=0; while [ ! -e \"$in.go\" ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n"
                           + succeedingBody()));
    buttonOf(window, "btnConvertStart")->click();
    InputItem *cancelled = shownRowItem(window, 0);
    QVERIFY(cancelled);
    const QString partial = QString::fromUtf8(cancelled->partialPath());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(partial) && childProcesses().size() == 2, 30000);
    if (paused) {
        buttonOf(window, "btnConvertPause")->click();
        QTRY_VERIFY_WITH_TIMEOUT(childProcesses().at(0).state == 'T' && childProcesses().at(1).state == 'T',
                                 30000);
    }

    cancelled->findChild<QPushButton *>(QStringLiteral("btnDel"))->click();
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("\n取消此文件的转码？\n")});
    QCOMPARE(cancelled->convertState(), ConvertCancelled);
    QCOMPARE(cancelled->findChild<QLabel *>(QStringLiteral("status"))->text(), QStringLiteral("转码取消   "));
    QVERIFY(!QFileInfo::exists(partial));
    QCOMPARE(rowItem(window, 1)->convertState(), ConvertRunning);
    // The killed child is collected; a paused batch stays paused, and starts
    // the next file only when it goes on.
    QTRY_VERIFY_WITH_TIMEOUT(zombieChildren() == 0 && childProcesses().size() == (paused ? 1 : 2), 30000);
    QCOMPARE(queue->isPaused(), paused);
    QCOMPARE(rowItem(window, 2)->convertState(), paused ? ConvertWaiting : ConvertRunning);
    if (paused) {
        QCOMPARE(childProcesses().at(0).state, 'T');
        buttonOf(window, "btnConvertPause")->click();
        QCOMPARE(rowItem(window, 2)->convertState(), ConvertRunning);
    }

    for (const char *name : {"b.mp4", "c.mp4"})
        touch(file(QLatin1String(name)) + QStringLiteral(".go"));
    QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, processWaitMs);
    QCOMPARE(answerer.texts.at(1), QStringLiteral("转码任务完成！\n成功： 2 个\n取消： 1 个\n"));
    QCOMPARE(cancelled->convertState(), ConvertCancelled);
    for (const char *name : {"Vantor转码-b.mp4", "Vantor转码-c.mp4"})
        QVERIFY(QFileInfo::exists(out + '/' + QString::fromUtf8(name)));
    QVERIFY(!QFileInfo::exists(out + QStringLiteral("/Vantor转码-a.mp4")));
}

void TestMainWindow::missingTranscoderIsReported()
{
    MainWindow window;
    DialogAnswerer answerer;
    QVERIFY(window.addInputFile(listed(QStringLiteral("a.mp4")).toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, file(QStringLiteral("no-such-ffmpeg")).toUtf8());
    buttonOf(window, "btnConvertStart")->click();
    // The code, and what to do about it.
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts,
                 QStringList{QStringLiteral("启动失败！\n错误码：-102\n未找到转码程序 ffmpeg，请安装 ffmpeg"
                                            "（sudo apt-get install ffmpeg），或将 ffmpeg 放在本程序所在的文件夹中。")}, processWaitMs);
    QCOMPARE(buttonOf(window, "btnConvertStart")->text(), QStringLiteral("开始转码"));
    QCOMPARE(rowItem(window, 0)->convertState(), ConvertWaiting);
}

void TestMainWindow::jobEndingWhileQuestionIsOpen()
{
    MainWindow window;
    QVERIFY(window.addInputFile(listed(QStringLiteral("a.mp4")).toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("slow"),
                                           "sleep 0.5\n" + succeedingBody()));
    buttonOf(window, "btnConvertStart")->click();
    QVERIFY(isConverting(window));

    // Nobody answers the cancel question; the run ends by itself meanwhile.
    QStringList texts;
    QList<QPointer<CDlgMessage>> seen;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<CDlgMessage *>(widget);
            if (!dialog || !dialog->isVisible() || seen.contains(dialog))
                continue;
            seen << dialog;
            const QString text = dialog->findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText();
            texts << text;
            if (text.startsWith(QStringLiteral("转码任务完成"))) {
                // The outdated question has gone before the summary shows.
                QVERIFY(!seen.first() || !seen.first()->isVisible());
                dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
            }
        }
    });
    poll.start();
    buttonOf(window, "btnConvertStart")->click();
    QCOMPARE(texts, (QStringList{QStringLiteral("确认取消？\n未完成的转码任务将会取消。\n"),
                                 QStringLiteral("转码任务完成！\n成功： 1 个\n")}));
    QTest::qWait(100);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(rowItem(window, 0)->convertState(), ConvertDone);
    QVERIFY(!isConverting(window));
}

void TestMainWindow::outputFolderGoneBeforeTheRun_data()
{
    QTest::addColumn<bool>("moviesFolder");
    QTest::newRow("the user's movies folder is made again") << true;
    QTest::newRow("a chosen folder is not") << false;
}

void TestMainWindow::outputFolderGoneBeforeTheRun()
{
    QFETCH(bool, moviesFolder);
    const QString chosen = file(QStringLiteral("chosen"));
    QDir().mkpath(chosen);
    if (!moviesFolder)
        touch(file(QStringLiteral("conf_main.json")), configFor(chosen));
    MainWindow window;
    DialogAnswerer answerer;
    const QString folder = moviesFolder ? videos : chosen;
    QCOMPARE(QString::fromUtf8(outputDir), folder);
    QVERIFY(window.addInputFile(listed(QStringLiteral("a.mp4")).toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("ok"), succeedingBody()));
    QVERIFY(QDir(folder).removeRecursively());

    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, processWaitMs);
    if (moviesFolder) {
        QCOMPARE(answerer.texts.at(0), QStringLiteral("转码任务完成！\n成功： 1 个\n"));
        QVERIFY(QFileInfo::exists(videos + QStringLiteral("/Vantor转码-a.mp4")));
    } else {
        QCOMPARE(answerer.texts.at(0),
                 QStringLiteral("输出文件夹不存在：\n%1\n请重新选择输出文件夹。\n").arg(chosen));
        QCOMPARE(rowItem(window, 0)->convertState(), ConvertWaiting);
        QVERIFY(!QFileInfo::exists(chosen));
    }
    QVERIFY(!isConverting(window));
}

void TestMainWindow::nextJobFailingToStartIsRecorded()
{
    MainWindow window;
    DialogAnswerer answerer;
    const QString b = listed(QStringLiteral("b.mp4"));
    for (const QString &path : {listed(QStringLiteral("a.mp4")), b, listed(QStringLiteral("c.mp4"))})
        QVERIFY(window.addInputFile(path.toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("ok"), succeedingBody()));
    rowItem(window, 1)->setTranscoderProgram(file(QStringLiteral("no-such-ffmpeg")).toUtf8());
    buttonOf(window, "btnConvertStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window), processWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, processWaitMs);
    QCOMPARE(answerer.texts.at(0), QStringLiteral("转码任务完成！\n成功： 2 个\n失败： 1 个\n")
                                       + b + QStringLiteral(" : 启动失败！ 错误码：-102\n未找到转码程序 ffmpeg，"
                                                            "请安装 ffmpeg（sudo apt-get install ffmpeg），"
                                                            "或将 ffmpeg 放在本程序所在的文件夹中。\n"));
    QCOMPARE(rowItem(window, 2)->convertState(), ConvertDone);
}

void TestMainWindow::sameBaseNameDoesNotOverwrite()
{
    MainWindow window;
    DialogAnswerer answerer;
    const QString out = file(QStringLiteral("out"));
    QDir().mkpath(out);
    outputDir = out.toUtf8();
    QDir().mkpath(file(QStringLiteral("x")));
    for (const char *name : {"clip.mkv", "clip.avi", "x/clip.mp4"})
        QVERIFY(window.addInputFile(listed(QLatin1String(name)).toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("ok"), succeedingBody()));
    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, processWaitMs);
    QCOMPARE(answerer.texts.at(0), QStringLiteral("转码任务完成！\n成功： 3 个\n"));
    const QString base = out + QStringLiteral("/Vantor转码-clip");
    QCOMPARE(QString::fromUtf8(rowItem(window, 0)->outputPath()), base + QStringLiteral(".mp4"));
    QCOMPARE(QString::fromUtf8(rowItem(window, 1)->outputPath()), base + QStringLiteral(" (2).mp4"));
    QCOMPARE(QString::fromUtf8(rowItem(window, 2)->outputPath()), base + QStringLiteral(" (3).mp4"));
    for (int row = 0; row < 3; ++row)
        QVERIFY(QFileInfo::exists(QString::fromUtf8(rowItem(window, row)->outputPath())));
}

void TestMainWindow::closingDuringRun_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("Cancel keeps the run") << false;
    QTest::newRow("OK cancels every job") << true;
}

void TestMainWindow::closingDuringRun()
{
    QFETCH(bool, confirm);
    DialogAnswerer answerer;
    auto *window = new MainWindow;
    window->findChild<ConversionQueue *>()->setParallelJobs(2);
    for (const char *name : {"a.mp4", "b.mp4", "c.mp4"})
        QVERIFY(window->addInputFile(listed(QLatin1String(name)).toUtf8()) == ResultOk);
    window->setMainState(MainWindow::MainStateReady);
    useProgram(*window, writeFakeTranscoder(work->path(), QStringLiteral("stall"), stallingBody()));
    buttonOf(*window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 2, processWaitMs);

    answerer.answers << confirm;
    buttonOf(*window, "btnTopClose")->click();
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("正在转码中，确认关闭？\n未完成的压缩任务将会取消。\n")});
    QCOMPARE(window->isVisible(), !confirm);
    for (int row = 0; row < 2; ++row)
        QCOMPARE(rowItem(*window, row)->convertState(), confirm ? ConvertCancelled : ConvertRunning);
    QCOMPARE(rowItem(*window, 2)->convertState(), confirm ? ConvertCancelled : ConvertWaiting);
    QTRY_COMPARE_WITH_TIMEOUT(hasChildProcesses(), !confirm, processWaitMs);
    QTest::qWait(100);
    QCOMPARE(answerer.texts.size(), 1);
    // Destroying the window (closed or not) leaves no child behind.
    delete window;
}

void TestMainWindow::actionWhenTheBatchEnds_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("a batch that ends by itself quits") << false;
    QTest::newRow("a cancelled batch does nothing") << true;
}

// "退出程序" chosen in the window counts down over the summary and closes
// the window; a cancel never starts it.
void TestMainWindow::actionWhenTheBatchEnds()
{
    QFETCH(bool, cancel);
    DialogAnswerer answerer;
    MainWindow window;
    auto *choices = combo(window, "cboxEndAction");
    QVERIFY(choices->count() >= 2);
    QCOMPARE(choices->itemText(0), QStringLiteral("无操作"));
    QCOMPARE(choices->itemText(1), QStringLiteral("退出程序"));
    window.findChild<BatchEndAction *>()->setCountdownSeconds(1);
    emit choices->activated(1);
    QVERIFY(window.addInputFile(listed(QStringLiteral("a.mp4")).toUtf8()) == ResultOk);
    useProgram(window, writeFakeTranscoder(work->path(), QStringLiteral("slow"),
                                           "sleep 0.5\n" + succeedingBody()));
    buttonOf(window, "btnConvertStart")->click();
    if (cancel) {
        answerer.answers << true << true;
        buttonOf(window, "btnConvertStart")->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window), processWaitMs);
    // The summary and, over it, the countdown (the answerer confirms it at
    // once); after a cancel, the question and the summary.
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 2, processWaitMs);
    QCOMPARE(answerer.texts.filter(QStringLiteral("转码任务已完成，")).size(), cancel ? 0 : 1);
    QTRY_COMPARE_WITH_TIMEOUT(window.isVisible(), cancel, processWaitMs);
    QTest::qWait(cancel ? 1500 : 0);
    QCOMPARE(window.isVisible(), cancel);
}

// ------------------------------------------------------------- settings bar

void TestMainWindow::containerCascade_data()
{
    QTest::addColumn<bool>("applyAll");
    QTest::newRow("apply to all") << true;
    QTest::newRow("current row only") << false;
}

void TestMainWindow::containerCascade()
{
    QFETCH(bool, applyAll);
    MainWindow window;
    QVERIFY(listTwoFiles(window, applyAll));
    listOf(window)->setCurrentRow(1);
    combo(window, "cboxVContainer")->setCurrentIndex(2);
    for (int row = 0; row < 2; ++row) {
        const AVSettings &s = rowItem(window, row)->settings();
        const bool changed = applyAll || row == 1;
        QCOMPARE(s.container, changed ? 2 : 0);
        QCOMPARE(s.videoCodec, 2);
        QCOMPARE(s.audioCodec, changed ? 1 : 0);
    }
}

void TestMainWindow::switchingRowsKeepsEachRowsRecord()
{
    MainWindow window;
    QVERIFY(listTwoFiles(window, false));
    listOf(window)->setCurrentRow(1);
    combo(window, "cboxVQuality")->setCurrentIndex(0);
    // Hand-edited values of the second row, as the settings dialog leaves them.
    rowItem(window, 1)->settings().crf = 40;
    rowItem(window, 1)->settings().videoBitrate = 2400;
    rowItem(window, 1)->settings().videoCodec = 3;
    const AVSettings edited = rowItem(window, 1)->settings();
    listOf(window)->setCurrentRow(0);
    combo(window, "cboxVQuality")->setCurrentIndex(2);
    QCOMPARE(rowItem(window, 0)->settings().videoBitrate, 1024);

    // Showing the second row's record in the bar leaves it as it is.
    listOf(window)->setCurrentRow(1);
    QCOMPARE(combo(window, "cboxVQuality")->currentText(), QStringLiteral("低质量"));
    QVERIFY(rowItem(window, 1)->settings() == edited);
    QCOMPARE(rowItem(window, 0)->settings().videoBitrate, 1024);
    // A user's own choice in the bar still applies its presets.
    combo(window, "cboxVQuality")->setCurrentIndex(1);
    QCOMPARE(rowItem(window, 1)->settings().crf, 24);
    QCOMPARE(rowItem(window, 1)->settings().videoCodec, 3);
}

void TestMainWindow::newFileGetsWhatTheBarShows_data()
{
    QTest::addColumn<bool>("applyAll");
    QTest::addColumn<bool>("withCurrentRow");
    QTest::newRow("apply to all") << true << false;
    QTest::newRow("current row only") << false << true;
}

void TestMainWindow::newFileGetsWhatTheBarShows()
{
    QFETCH(bool, applyAll);
    QFETCH(bool, withCurrentRow);
    MainWindow window;
    // An untouched bar gives the default record.
    QVERIFY(window.addInputFile(listed(QStringLiteral("a.mp4")).toUtf8()) == ResultOk);
    QVERIFY(rowItem(window, 0)->settings() == makeAVSettings(0, 1, 1));

    window.findChild<QCheckBox *>(QStringLiteral("applyAll"))->setChecked(applyAll);
    if (withCurrentRow)
        listOf(window)->setCurrentRow(0);
    combo(window, "cboxVContainer")->setCurrentIndex(1);
    combo(window, "cboxVQuality")->setCurrentIndex(2);
    QVERIFY(window.addInputFile(listed(QStringLiteral("b.mp4")).toUtf8()) == ResultOk);
    QVERIFY(rowItem(window, 1)->settings() == makeAVSettings(1, 2, 1));
    QCOMPARE(rowItem(window, 1)->plannedOutputPath().right(4), QByteArray(".flv"));
}

void TestMainWindow::settingsDialogFromBar_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

void TestMainWindow::settingsDialogFromBar()
{
    QFETCH(bool, confirm);
    MainWindow window;
    QVERIFY(listTwoFiles(window, false));

    // With apply-to-all off and no current row the button does nothing.
    buttonOf(window, "btnQualitySettings")->click();

    listOf(window)->setCurrentRow(1);
    answerSettingsDialog([confirm](CDlgAVSettings *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("cboxVC"))->setCurrentIndex(3);
        dialog->findChild<QComboBox *>(QStringLiteral("cboxCRF"))->setCurrentText(QStringLiteral("40"));
        dialog->findChild<QPushButton *>(confirm ? QStringLiteral("btnOk") : QStringLiteral("btnCancel"))->click();
    });
    buttonOf(window, "btnQualitySettings")->click();

    const AVSettings &second = rowItem(window, 1)->settings();
    QCOMPARE(second.container, confirm ? 3 : 0);
    QCOMPARE(second.videoCodec, confirm ? 4 : 2);
    QCOMPARE(second.crf, confirm ? 40 : 24);
    QCOMPARE(combo(window, "cboxVContainer")->currentIndex(), confirm ? 3 : 0);
    QVERIFY(rowItem(window, 0)->settings() == makeAVSettings(0, 1, 1));
}

void TestMainWindow::finerChoicesReachFfmpeg_data()
{
    QTest::addColumn<bool>("applyAll");
    QTest::newRow("for all files") << true;
    QTest::newRow("for this file") << false;
}

// Choices made in the dialog after a container was chosen in the bar reach
// ffmpeg as they are: showing the record in the bar, or moving between rows,
// never applies a container's presets again.
void TestMainWindow::finerChoicesReachFfmpeg()
{
    QFETCH(bool, applyAll);
    MainWindow window;
    QVERIFY(listTwoFiles(window, applyAll));
    listOf(window)->setCurrentRow(0);
    combo(window, "cboxVContainer")->setCurrentIndex(3);
    QCOMPARE(rowItem(window, 0)->settings().container, 3);

    answerSettingsDialog([](CDlgAVSettings *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("cboxVC"))->setCurrentIndex(2);
        dialog->findChild<QComboBox *>(QStringLiteral("cboxCV"))->setCurrentText(QStringLiteral("HEVC(H265)"));
        dialog->findChild<QComboBox *>(QStringLiteral("cboxCA"))->setCurrentText(QStringLiteral("Copy"));
        dialog->findChild<QComboBox *>(QStringLiteral("cboxR"))->setCurrentText(QStringLiteral("720x480"));
        dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    });
    buttonOf(window, "btnQualitySettings")->click();
    QCOMPARE(combo(window, "cboxVContainer")->currentIndex(), 2);

    auto given = [&window] {
        const QList<QByteArray> args = TranscodeCommand(rowItem(window, 0)->settings()).arguments();
        QList<QByteArray> pairs;
        for (const char *option : {"-c:v", "-tag:v", "-c:a", "-vf"}) {
            const int at = args.indexOf(option);
            pairs << option + QByteArray(" ") + (at >= 0 && at + 1 < args.size() ? args.at(at + 1) : "-");
        }
        return pairs;
    };
    // A copied audio stream gets no rate or bitrate of its own; the picture
    // fits the chosen box.
    const QList<QByteArray> expected{"-c:v libx265", "-tag:v HEVC", "-c:a copy",
                                     "-vf bwdif=mode=send_frame:deint=interlaced,"
                                     "scale=w='2*max(1,round(min(720,480*dar)/2))':"
                                     "h='2*max(1,round(min(480,720/dar)/2))',setsar=1,format=yuv420p"};
    QCOMPARE(given(), expected);
    listOf(window)->setCurrentRow(1);
    listOf(window)->setCurrentRow(0);
    QCOMPARE(given(), expected);
    QCOMPARE(rowItem(window, 1)->settings().container, applyAll ? 2 : 0);
}

void TestMainWindow::dropDownsShowTheCurrentEntry_data()
{
    QTest::addColumn<bool>("dialog");
    QTest::newRow("settings bar") << false;
    QTest::newRow("settings dialog") << true;
}

// The highlighted entry of an open drop-down is the program's green with
// text that stands out from it.
void TestMainWindow::dropDownsShowTheCurrentEntry()
{
    QFETCH(bool, dialog);
    MainWindow window;
    std::unique_ptr<CDlgAVSettings> settings;
    QComboBox *box = combo(window, "cboxVContainer");
    if (dialog) {
        settings = std::make_unique<CDlgAVSettings>(&window);
        settings->setSettings(makeAVSettings(0, 1, 1));
        box = settings->findChild<QComboBox *>(QStringLiteral("cboxVC"));
    }
    box->setCurrentIndex(1);
    box->showPopup();
    QAbstractItemView *view = box->view();
    QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), processWaitMs);
    const QRect item = view->visualRect(view->currentIndex());
    const QImage image = view->viewport()->grab().toImage().copy(item);
    box->hidePopup();

    QMap<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    }
    QRgb background = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > counts.value(background))
            background = it.key();
    }
    QCOMPARE(QColor(background), QColor(58, 187, 138));
    int textPixels = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (qAbs(qGray(it.key()) - qGray(background)) > 60)
            textPixels += it.value();
    }
    QVERIFY2(textPixels > 20, "the entry's text does not stand out");
}

// ------------------------------------------------------------ end to end

void TestMainWindow::fullRunWithRealTranscoder()
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    QVERIFY2(!ffmpeg.isEmpty() && !ffprobe.isEmpty(), "ffmpeg and ffprobe are needed");
    // The second is a film with two audio tracks and subtitles, which .flv
    // cannot all keep.
    const QStringList sources = {file(QStringLiteral("one.mkv")), file(QStringLiteral("two.mkv")),
                                 file(QStringLiteral("three 三.avi"))};
    for (const QString &source : sources)
        QVERIFY(source == sources.at(1) ? makeFilm(source, 2) : makeTestClip(source, 2));

    MainWindow window;
    DialogAnswerer answerer;
    const QString out = file(QStringLiteral("out"));
    QDir().mkpath(out);
    outputDir = out.toUtf8();
    for (const QString &source : sources)
        QVERIFY(window.addInputFile(source.toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    window.findChild<QCheckBox *>(QStringLiteral("applyAll"))->setChecked(false);
    const QStringList formats = {"mov,mp4,m4a,3gp,3g2,mj2", "flv", "asf"};
    for (int row = 0; row < 3; ++row) {
        listOf(window)->setCurrentRow(row);
        combo(window, "cboxVContainer")->setCurrentIndex(row == 2 ? 3 : row);
    }
    useProgram(window, ffmpeg.toUtf8());
    buttonOf(window, "btnConvertStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window), 120000);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, processWaitMs);
    QCOMPARE(answerer.texts.at(0), QStringLiteral("转码任务完成！\n成功： 3 个\n未全部保留： 1 个\n") + sources.at(1)
                                       + QStringLiteral(" : 只保留了 1 条音轨（共 2 条）：.flv 只能保存一条音轨\n"));

    const QStringList expected = {out + "/Vantor转码-one.mp4", out + "/Vantor转码-two.flv",
                                  out + "/Vantor转码-three 三.wmv"};
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(rowItem(window, row)->convertState(), ConvertDone);
        QProcess probe;
        probe.start(ffprobe, {"-v", "error", "-show_entries", "format=format_name:stream=codec_type",
                              "-of", "default=nw=1", expected.at(row)});
        QVERIFY(probe.waitForFinished(30000));
        const QString report = QString::fromUtf8(probe.readAllStandardOutput());
        QVERIFY2(report.contains("format_name=" + formats.at(row)), qPrintable(report));
        QVERIFY(report.contains(QLatin1String("codec_type=video")));
        QVERIFY(report.contains(QLatin1String("codec_type=audio")));
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
