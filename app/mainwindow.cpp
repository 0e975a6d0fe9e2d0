#include "mainwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "batchendaction.h"
#include "batchtexts.h"
#include "catalogue.h"
#include "conversionqueue.h"
#include "dlgavsettings.h"
#include "dlgmessage.h"
#include "filemanager.h"
#include "folderexpander.h"
#include "inputitem.h"
#include "inputrows.h"
#include "links.h"
#include "partialoutput.h"
#include "picturescale.h"
#include "presettexts.h"
#include "queuekeeper.h"
#include "resultcodes.h"
#include "rowmenu.h"
#include "runpresence.h"
#include "styleconstants.h"
#include "stylesheet.h"
#include "terminationsignals.h"
#include "vlcplayer.h"
#include "windowplacement.h"

namespace {

// Lower-cases ASCII letters only, byte by byte, like the C library's tolower
// in the "C" locale: bytes of multi-byte UTF-8 characters stay as they are.
QByteArray asciiLower(QByteArray bytes)
{
    for (char &c : bytes) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return bytes;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    ui.setupUi(this);
    setMinimumSize(800, 510);
    setMaximumSize(800, 510);
    centreOnDesktop(this);
    initConfig();
    initUi();
    initConnect();
    showNormal();
}

MainWindow::~MainWindow()
{
    // Before the list and the rows they follow go; the list is saved first.
    delete keeper;
    delete queue;
    delete rows;
}

// ---------------------------------------------------------------- start-up

void MainWindow::initConfig()
{
    videosDir = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    inputDialogDir = QFileInfo(videosDir).isDir() ? videosDir : QDir::homePath();
    if (loadConfig(videosDir) != ResultOk) {
        // A chosen folder that is not there now (an unplugged disk) stays
        // the user's choice: it is used again once it is back.
        missingOutputDir = config.storedFolder();
        // A fresh account may have no movies folder yet; without it every
        // first conversion would fail.
        QDir().mkpath(videosDir);
        if (missingOutputDir.isEmpty())
            saveConfig(videosDir);
    }
    outputDir = videosDir.toUtf8();
    // What a converter that died left behind; a running one's stays.
    PartialOutput::removeLeftovers(videosDir);
    ui.editOutputDir->setText(videosDir);
    ui.editOutputDir->setReadOnly(true);
    initCatalogue();
    setMainState(MainStateEmpty);
    defaultSettings = makeAVSettings(0, 1, 1);
    currentSettings = defaultSettings;
}

void MainWindow::initUi()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    loadStyleSheet(this, QStringLiteral(":/qss/css/MainWindow.css"));
    InputItem::shareStyleSheet(ui.listInput);
    rows = new InputRows(ui.listInput);
    rowMenu = new RowMenu(ui.listInput);
    fileManager = new FileManager(this);
    setWindowTitle(QStringLiteral("Vantor视频转换器"));
    ui.mainLabelLogoStr->setText(QStringLiteral("Vantor视频转换器 v3.1.3"));
    setWindowIcon(QIcon(QStringLiteral(":/images/images/main.ico")));
    for (const auto &entry : containerNames)
        ui.cboxVContainer->addItem(QString::fromUtf8(entry.second));
    for (const auto &entry : qualityLevels) {
        ui.cboxVQuality->addItem(QString::fromUtf8(entry.second));
        ui.cboxAQuality->addItem(QString::fromUtf8(entry.second));
        const int row = ui.cboxVQuality->count() - 1;
        ui.cboxVQuality->setItemData(row, videoQualityTip(entry.first), Qt::ToolTipRole);
        ui.cboxAQuality->setItemData(row, audioQualityTip(entry.first), Qt::ToolTipRole);
    }
    refreshParamCombos();
    ui.stackInput->setCurrentIndex(0);
    setAcceptDrops(true);
    ui.applyAll->setCheckable(true);
    ui.applyAll->setChecked(true);
    // The link buttons' sheet makes their background transparent but sets no
    // border, so a raised style would still draw its own button face.
    ui.btnQqUrl->setFlat(true);
    ui.btnCompanyUrl->setFlat(true);
    player = new vlcplayer(nullptr);
    ui.vlcLayout->addWidget(player);
    ui.cboxVContainer->setFocusPolicy(Qt::NoFocus);
    ui.cboxVQuality->setFocusPolicy(Qt::NoFocus);
    ui.cboxAQuality->setFocusPolicy(Qt::NoFocus);
    ui.btnConvertPause->hide();
    presence = new RunPresence(this);
    queue = new ConversionQueue(this);
    queue->setDefaultFolder(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    queue->setParallelJobs(config.parallelJobs());
    keeper = new QueueKeeper(queue, QueueStore::defaultFolder(), this);
    restoreList();
    endAction = new BatchEndAction(this);
    ui.labelEndAction->setText(BatchEndAction::labelText());
    ui.cboxEndAction->setFocusPolicy(Qt::NoFocus);
    endAction->showChoicesIn(ui.cboxEndAction);
}

void MainWindow::initConnect()
{
    connect(ui.btnConvertStart, &QPushButton::clicked, this, &MainWindow::btnConvertStart_clicked);
    connect(ui.btnInputFile, &QPushButton::clicked, this, &MainWindow::btnInputFile_clicked);
    connect(ui.btnInputClear, &QPushButton::clicked, this, &MainWindow::btnInputClear_clicked);
    connect(ui.btnOutputDir, &QPushButton::clicked, this, &MainWindow::btnOutputDir_clicked);
    connect(ui.btnOutputDir2, &QPushButton::clicked, this, &MainWindow::btnOutputDir2_clicked);
    connect(ui.btnQualitySettings, &QPushButton::clicked, this,
            &MainWindow::btnQualitySettings_clicked);
    connect(ui.cboxVContainer, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &MainWindow::paramVcChanged);
    connect(ui.cboxVQuality, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &MainWindow::paramVqlChanged);
    connect(ui.cboxAQuality, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &MainWindow::paramAqlChanged);
    connect(ui.listInput, &QListWidget::itemDoubleClicked, this, &MainWindow::ItemDClicked);
    connect(ui.listInput, &QListWidget::currentItemChanged, this, &MainWindow::curItemChanged);
    connect(ui.applyAll, &QCheckBox::stateChanged, this, &MainWindow::applyAllChanged);
    connect(ui.btnConvertPause, &QPushButton::clicked, this, &MainWindow::btnConvertPause_clicked);
    connect(rowMenu, &RowMenu::playRequested, this,
            [this](const QString &path) { player->setVideoPath(path, true); });
    connect(rowMenu, &RowMenu::folderRequested, fileManager, &FileManager::showFile);
    connect(rowMenu, &RowMenu::convertAgainRequested, this, &MainWindow::convertAgain);
    connect(endAction, &BatchEndAction::quitRequested, this, &MainWindow::close);
    endAction->probe();
    connect(queue, &ConversionQueue::progressChanged, this, &MainWindow::showBatchProgress);
    connect(queue, &ConversionQueue::pausedChanged, this, &MainWindow::showPaused);
    connect(queue, &ConversionQueue::runEnded, this, &MainWindow::runEnded);
    auto *terminationSignals = new TerminationSignals(this);
    connect(terminationSignals, &TerminationSignals::received, this, &MainWindow::endForSignal);
}

void MainWindow::setMainState(int state)
{
    const char *style = nullptr;
    switch (state) {
    case MainStateEmpty:
        style = convertDisableStyle;
        break;
    case MainStateReady:
        style = convertStartStyle;
        break;
    case MainStateConverting:
        style = convertStopStyle;
        break;
    default:
        return;
    }
    const bool running = state == MainStateConverting;
    ui.stackInput->setCurrentIndex(state == MainStateEmpty ? 0 : 1);
    ui.btnConvertStart->setText(running ? QStringLiteral("取消转码") : QStringLiteral("开始转码"));
    setScaledStyleSheet(ui.btnConvertStart, QString::fromLatin1(style));
    converting = running;
    ui.btnConvertPause->setVisible(running);
    ui.labelBatchProgress->setVisible(running);
    for (QWidget *control : {static_cast<QWidget *>(ui.applyAll),
                             static_cast<QWidget *>(ui.cboxVContainer),
                             static_cast<QWidget *>(ui.btnQualitySettings),
                             static_cast<QWidget *>(ui.cboxVQuality),
                             static_cast<QWidget *>(ui.cboxAQuality),
                             static_cast<QWidget *>(ui.btnOutputDir)})
        control->setEnabled(!running);
}

// ------------------------------------------------------------ configuration

int MainWindow::loadConfig(QString &dir) const
{
    return config.load(dir);
}

int MainWindow::saveConfig(const QString &dir) const
{
    return config.save(dir);
}

void MainWindow::setOutputDirectory(const QString &dir)
{
    missingOutputDir.clear();
    outputDir = dir.toUtf8();
    ui.editOutputDir->setText(dir);
    saveConfig(dir);
    videosDir = dir;
}

// --------------------------------------------------------------- input list

bool MainWindow::isInputExtension(const QByteArray &extension) const
{
    int key = 0;
    return catalogueKey(inputExtensions, extension, &key);
}

void MainWindow::addInputPaths(const QStringList &paths)
{
    FolderExpander expander([this](const QString &name) {
        return isInputExtension(asciiLower("." + QFileInfo(name).suffix().toUtf8()));
    });
    for (const QString &path : expander.expand(paths))
        addInputFile(path.toUtf8());
    showRowsListed();
}

int MainWindow::addInputFile(const QByteArray &path)
{
    // A new file gets what the bar shows, as the user expects.
    return listFile(path, currentSettings) ? ResultOk : ResultInvalidArgument;
}

InputItem *MainWindow::listFile(const QByteArray &path, const AVSettings &settings, bool absent)
{
    const QFileInfo info(QString::fromUtf8(path));
    if (path.isEmpty() || (!absent && !info.exists()))
        return nullptr;
    if (!isInputExtension(asciiLower("." + info.suffix().toUtf8())))
        return nullptr;
    if (listedPaths.contains(path))
        return nullptr;
    InputItem *item = rows->makeItem();
    if (absent)
        item->setAbsentInputFile(path, settings);
    else if (item->setInputFile(path, settings) != ResultOk) {
        delete item;
        return nullptr;
    }
    rows->append(item);
    queue->append(item->job());
    connect(item, &InputItem::ItemConvertDone, this, &MainWindow::ItemConvertDone);
    connect(item, &InputItem::ItemDelete, this, &MainWindow::ItemDelete);
    listedPaths.insert(path);
    return item;
}

// The list as the last run of the converter left it; rows whose source is
// not there now stay, for a start that finds it again.
void MainWindow::restoreList()
{
    QSet<QByteArray> absent;
    for (const QueueRow &row : keeper->restore(&absent)) {
        if (InputItem *item = listFile(row.inputPath, row.settings, absent.contains(row.inputPath)))
            item->job()->restoreResult(row.state, row.outputPath, row.errorText, row.warningText);
    }
    showRowsListed();
    if (keeper->isListKeptElsewhere()) {
        QTimer::singleShot(0, this, [this] {
            tell(QStringLiteral("另一个 Vantor视频转换器 窗口正在保存文件列表，\n"
                                "本窗口的列表不会被保存。\n"));
        });
    }
}

InputItem *MainWindow::itemAt(int row) const
{
    return rows->itemAt(row);
}

InputItem *MainWindow::currentItem() const
{
    return InputRows::itemOf(ui.listInput->currentItem());
}

void MainWindow::showRowsListed()
{
    if (ui.listInput->count() > 0 && !converting)
        setMainState(MainStateReady);
}

void MainWindow::btnInputFile_clicked()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QStringLiteral("选择视频文件"), inputDialogDir, inputFileFilter());
    if (!paths.isEmpty())
        inputDialogDir = QFileInfo(paths.first()).absolutePath();
    for (const QString &path : paths)
        addInputFile(path.toUtf8());
    showRowsListed();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls())
        return;
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        paths << url.toLocalFile();
    addInputPaths(paths);
}

// A row that is converting is cancelled alone, the batch going on; during
// a run the others may go.
void MainWindow::ItemDelete(InputItem *item)
{
    if (item->convertState() == ConvertRunning) {
        // The job may have ended while the question was open.
        if (ask(QStringLiteral("\n取消此文件的转码？\n")))
            queue->cancelJob(item->job());
        return;
    }
    if (!ask(QStringLiteral("\n确认删除？\n")))
        return;
    removeRows({item});
}

void MainWindow::convertAgain(InputItem *item)
{
    if (queue->convertAgain(item->job()))
        keeper->changed();
}

void MainWindow::btnInputClear_clicked()
{
    if (ui.listInput->count() == 0)
        return;
    if (!ask(QStringLiteral("\n确认清空？\n")))
        return;
    if (!converting) {
        player->stop();
        queue->clear();
        rows->clear();
        listedPaths.clear();
        keeper->flush();
        setMainState(MainStateEmpty);
        return;
    }
    QList<InputItem *> idle;
    for (int row = 0; row < ui.listInput->count(); ++row) {
        if (itemAt(row)->convertState() != ConvertRunning)
            idle << itemAt(row);
    }
    removeRows(idle);
}

void MainWindow::removeRows(const QList<InputItem *> &items)
{
    for (InputItem *item : items) {
        // The row may have started converting while the question was open.
        if (!queue->remove(item->job()))
            continue;
        listedPaths.remove(item->inputPath());
        rows->remove(item);
    }
    if (ui.listInput->count() == 0 && !converting)
        setMainState(MainStateEmpty);
}

void MainWindow::ItemDClicked(QListWidgetItem *row)
{
    InputItem *item = InputRows::itemOf(row);
    if (item)
        player->setVideoPath(QString::fromUtf8(item->inputPath()), true);
}

void MainWindow::curItemChanged(QListWidgetItem *, QListWidgetItem *)
{
    refreshParamCombos();
}

// ---------------------------------------------------------- conversion queue

void MainWindow::btnConvertStart_clicked()
{
    if (!converting) {
        startQueue();
        return;
    }
    CDlgMessage question(this, 2, QStringLiteral("确认取消？\n未完成的转码任务将会取消。\n"));
    cancelQuestion = &question;
    question.exec();
    cancelQuestion = nullptr;
    // The run may have ended by itself while the question was open; it was
    // closed then, and there is nothing left to cancel.
    if (question.confirmed && converting)
        stopQueue(true);
}

void MainWindow::startQueue()
{
    if (ui.listInput->count() == 0)
        return;
    if (!missingOutputDir.isEmpty()) {
        tell(QStringLiteral("输出文件夹不存在：\n%1\n本次将转码到：\n%2\n").arg(missingOutputDir, videosDir));
        missingOutputDir.clear();
    }
    const int code = queue->start();
    if (code != ResultOk) {
        tell(startRefusalText(*queue, code));
        return;
    }
    player->pause();
    setMainState(MainStateConverting);
    showBatchProgress();
}

void MainWindow::ItemConvertDone(InputItem *)
{
    showBatchProgress();
}

void MainWindow::btnConvertPause_clicked()
{
    if (queue->isPaused())
        queue->resume();
    else
        queue->pause();
}

void MainWindow::showPaused(bool paused)
{
    showPauseButton(paused);
    presence->showPaused(paused);
    showBatchProgress();
}

void MainWindow::showPauseButton(bool paused)
{
    setScaledStyleSheet(ui.btnConvertPause,
                        QString::fromLatin1(paused ? convertResumeStyle : convertPauseStyle));
    ui.btnConvertPause->setToolTip(paused ? QStringLiteral("继续转码") : QStringLiteral("暂停转码"));
}

void MainWindow::showBatchProgress()
{
    if (!queue->isRunning())
        return;
    ui.labelBatchProgress->setText(
        batchProgressText(queue->share(), queue->secondsLeft(), queue->isPaused()));
    presence->showProgress(queue->share());
}

void MainWindow::runEnded(int reason)
{
    setMainState(MainStateReady);
    showPauseButton(false);
    const RunReport &report = queue->report();
    const int failed = int(report.failed.size());
    presence->showEnd(reason == RunFinished, report.succeeded, failed);
    if (cancelQuestion)
        cancelQuestion->close();
    // A cancel shows its summary, or none when the window closes. What is to
    // happen after a batch counts down over the summary.
    if (reason == RunFinished)
        QTimer::singleShot(0, endAction, &BatchEndAction::start);
    if (reason == RunFinished || reason == RunStoppedForFolder)
        showSummary();
}

void MainWindow::endForSignal(int signal)
{
    // Cancelled like a confirmed close: partial files go, nothing is asked.
    queue->cancel(RunStoppedForSignal);
    QCoreApplication::exit(128 + signal);
}

void MainWindow::stopQueue(bool summary)
{
    queue->cancel();
    if (summary)
        showSummary();
}

void MainWindow::showSummary()
{
    tell(runSummaryText(queue->report()));
}

// ------------------------------------------------------------- settings bar

void MainWindow::setAllSettings(const AVSettings &settings)
{
    for (int row = 0; row < ui.listInput->count(); ++row)
        itemAt(row)->setSettings(settings);
    keeper->changed();
}

void MainWindow::setRowSettings(InputItem *item, const AVSettings &settings)
{
    item->setSettings(settings);
    keeper->changed();
}


void MainWindow::pushSettings()
{
    if (ui.applyAll->isChecked()) {
        setAllSettings(currentSettings);
    } else if (InputItem *item = currentItem()) {
        ui.listInput->setFocus(Qt::OtherFocusReason);
        setRowSettings(item, currentSettings);
    }
    showCustomised();
}

void MainWindow::paramVcChanged(int)
{
    applyContainer(currentSettings, ui.cboxVContainer->currentIndex());
    pushSettings();
}

void MainWindow::paramVqlChanged(int)
{
    applyVideoQuality(currentSettings, ui.cboxVQuality->currentIndex());
    pushSettings();
}

void MainWindow::paramAqlChanged(int)
{
    applyAudioQuality(currentSettings, ui.cboxAQuality->currentIndex());
    pushSettings();
}

void MainWindow::refreshParamCombos()
{
    if (!ui.applyAll->isChecked()) {
        if (InputItem *item = currentItem()) {
            ui.listInput->setFocus(Qt::OtherFocusReason);
            currentSettings = item->settings();
        } else {
            currentSettings = defaultSettings;
        }
    }
    showParamCombos();
}

void MainWindow::showParamCombos()
{
    // Showing a record never changes it: only a user's own choice in a combo
    // applies that choice's presets.
    const QSignalBlocker container(ui.cboxVContainer);
    const QSignalBlocker video(ui.cboxVQuality);
    const QSignalBlocker audio(ui.cboxAQuality);
    ui.cboxVContainer->setCurrentIndex(currentSettings.container);
    ui.cboxVQuality->setCurrentIndex(currentSettings.videoQuality);
    ui.cboxAQuality->setCurrentIndex(currentSettings.audioQuality);
    showCustomised();
}

void MainWindow::showCustomised()
{
    InputItem *item = ui.applyAll->isChecked() ? nullptr : currentItem();
    const QString text = customisedText(item ? item->settings() : currentSettings);
    ui.labelCustomised->setToolTip(text);
    ui.labelCustomised->ensurePolished();
    ui.labelCustomised->setText(ui.labelCustomised->fontMetrics().elidedText(
        text, Qt::ElideRight, ui.labelCustomised->maximumWidth()));
}

void MainWindow::applyAllChanged(int)
{
    if (ui.applyAll->isChecked())
        setAllSettings(currentSettings);
    showCustomised();
}

void MainWindow::btnQualitySettings_clicked()
{
    InputItem *target = nullptr;
    if (!ui.applyAll->isChecked()) {
        target = currentItem();
        if (!target)
            return;
        ui.listInput->setFocus(Qt::OtherFocusReason);
        currentSettings = target->settings();
    }
    CDlgAVSettings dialog(this);
    // The tracks listed are those of the row being set, or of the current
    // (else the first) row when the settings go to all.
    InputItem *shown = target ? target : currentItem();
    if (!shown && ui.listInput->count() > 0)
        shown = itemAt(0);
    if (shown)
        dialog.setMedia(shown->job()->media());
    dialog.setSettings(currentSettings);
    dialog.exec();
    if (!dialog.confirmed)
        return;
    currentSettings = dialog.settings;
    showParamCombos();
    if (ui.applyAll->isChecked())
        setAllSettings(currentSettings);
    else
        setRowSettings(target, currentSettings);
}

void MainWindow::setFreeSpaceFloor(qint64 bytes)
{
    queue->setFreeSpaceFloor(bytes);
}

void MainWindow::btnOutputDir_clicked()
{
    if (converting)
        return;
    const QString dir = QFileDialog::getExistingDirectory(
        this, QStringLiteral("选择视频文件夹"), videosDir,
        QFileDialog::ShowDirsOnly);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return;
    setOutputDirectory(dir);
}

void MainWindow::btnOutputDir2_clicked()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(videosDir));
}

// -------------------------------------------------------- frame and dialogs

bool MainWindow::ask(const QString &text)
{
    CDlgMessage dialog(this, 2, text);
    dialog.exec();
    return dialog.confirmed;
}

void MainWindow::tell(const QString &text)
{
    CDlgMessage dialog(this, 1, text);
    dialog.exec();
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    QMainWindow::mousePressEvent(event);
    pressPos = event->pos();
    dragging = true;
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    QMainWindow::mouseReleaseEvent(event);
    dragging = false;
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    QMainWindow::mouseMoveEvent(event);
    if (dragging)
        move(event->globalPos() - pressPos);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!converting) {
        event->accept();
        return;
    }
    if (!ask(QStringLiteral("正在转码中，确认关闭？\n未完成的压缩任务将会取消。\n"))) {
        event->ignore();
        return;
    }
    stopQueue(false);
    event->accept();
}

void MainWindow::on_btnCompanyUrl_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(companySiteUrl), QUrl::TolerantMode));
}

void MainWindow::on_btnQqUrl_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(communityGroupUrl), QUrl::TolerantMode));
}

void MainWindow::on_btnTopMin_clicked()
{
    showMinimized();
}

void MainWindow::on_btnTopClose_clicked()
{
    close();
}
