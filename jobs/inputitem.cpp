#include "inputitem.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTimer>

#include "catalogue.h"
#include "stylesheet.h"

namespace {

constexpr int chunkSize = 8192;
// One read leaves the chunk's last byte for the terminating zero.
constexpr int readCapacity = chunkSize - 1;
// Far more than the pipe holds, so a tick empties it; the bound only keeps
// a child that writes without pause from holding the GUI thread.
constexpr int maxReadsPerTick = 64;
constexpr int pollIntervalMs = 200;

const char *const statusTexts[] = {
    "等待转码...",
    "正在转码...",
    "转码完成   ",
    "转码取消   ",
    "转码错误   ",
};

} // namespace

InputItem::InputItem(QWidget *parent)
    : QWidget(parent), command(AVSettings{}), chunk(chunkSize, '\0'), pollTimer(new QTimer(this))
{
    qRegisterMetaType<InputItem *>("InputItem*");
    ui.setupUi(this);
    loadStyleSheet(this, QStringLiteral(":/qss/css/InputItem.css"));
    setState(ConvertWaiting);
    ui.progressBar->setRange(0, 100);
    ui.progressBar->setValue(0);
    connect(pollTimer, &QTimer::timeout, this, &InputItem::onTimer);
    connect(ui.btnDel, &QPushButton::clicked, this, &InputItem::btnDel_clicked);
}

InputItem::~InputItem() = default;

int InputItem::setInputFile(const QByteArray &path, const AVSettings &settings)
{
    const QFileInfo info(QString::fromUtf8(path));
    if (!info.isFile())
        return -202;

    const double megabytes = double(info.size()) / 1024 / 1024;
    ui.filesize->setText(QString::asprintf("大小:%.1f MB", megabytes));
    ui.filename->setText(info.fileName());

    sourcePath = path;
    baseName = info.completeBaseName().toUtf8();
    sourceExtension = '.' + info.suffix().toUtf8();
    command = TranscodeCommand(settings);
    command.inputPath = path;
    return 0;
}

QByteArray InputItem::plannedOutputPath() const
{
    return makeOutputPath(outputDir, baseName, sourceExtension, command.settings.container);
}

int InputItem::startConvert()
{
    return startConvert(plannedOutputPath());
}

int InputItem::startConvert(const QByteArray &outputPath)
{
    if (process.isRunning() || !process.reapChild())
        return -103;

    targetPath = outputPath;
    command.outputPath = targetPath;
    QList<QByteArray> arguments = command.arguments();
    if (!programOverride.isEmpty())
        arguments.first() = programOverride;
    const int code = process.start(arguments);
    if (code != 0)
        return code;

    setState(ConvertRunning);
    ui.progressBar->setValue(0);
    parser.reset();
    outputEnded = false;
    pollTimer->start(pollIntervalMs);
    return 0;
}

int InputItem::stopConvert()
{
    switch (state) {
    case ConvertDone:
        return 102;
    case ConvertRunning:
        // stop() returns only once the child is gone, so nothing writes to
        // the file any more when it is deleted.
        if (process.stop() == 0) {
            const QString output = QString::fromUtf8(targetPath);
            if (QFile::exists(output))
                QFile::remove(output);
        }
        pollTimer->stop();
        break;
    default:
        break;
    }
    setState(ConvertCancelled);
    return 0;
}

void InputItem::onTimer()
{
    if (process.isRunning())
        drainOutput();
    if (process.isRunning())
        return;
    if (!outputEnded) {
        pollTimer->stop();
        return;
    }
    // The exit status takes part in the verdict, so wait (tick by tick) for
    // a child that closed its output but has not exited yet.
    if (process.reapChild())
        endJob();
}

void InputItem::drainOutput()
{
    for (int reads = 0; reads < maxReadsPerTick; ++reads) {
        int count = 0;
        const int code = process.readOutput(chunk.data(), readCapacity, &count);
        if (code == 102) {
            showProgress(parser.flush());
            outputEnded = true;
            return;
        }
        if (code != 0 || count == 0)
            return;
        showProgress(parser.processRead(chunk.data(), count));
    }
}

void InputItem::showProgress(int value)
{
    if (value >= 0)
        ui.progressBar->setValue(value);
}

void InputItem::endJob()
{
    outputEnded = false;
    if (parser.verdict(process.exitedCleanly())) {
        ui.progressBar->setValue(100);
        setState(ConvertDone);
    } else {
        setState(ConvertError);
    }
    pollTimer->stop();
    emit ItemConvertDone(this);
}

void InputItem::btnDel_clicked()
{
    emit ItemDelete(this);
}

void InputItem::setState(int code)
{
    state = code;
    ui.status->setText(QString::fromUtf8(statusTexts[code]));
}
