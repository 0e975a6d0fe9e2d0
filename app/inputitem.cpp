#include "inputitem.h"

#include <QEvent>
#include <QFileInfo>
#include <QString>

#include "resultcodes.h"
#include "stylesheet.h"
#include "targettext.h"

namespace {

const char *const statusTexts[] = {
    "等待转码...",
    "正在转码...",
    "转码完成   ",
    "转码取消   ",
    "转码错误   ",
};

const char *const rowSheetPath = ":/qss/css/InputItem.css";
const char *const sharesRowSheet = "vantorSharesRowSheet";

bool sheetIsShared(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (widget->property(sharesRowSheet).toBool())
            return true;
    }
    return false;
}

} // namespace

InputItem::InputItem(QWidget *parent, FormMode mode)
    : QWidget(parent), conversion(new TranscodeJob(this))
{
    static const int metaType = qRegisterMetaType<InputItem *>("InputItem*");
    Q_UNUSED(metaType)
    setObjectName(QStringLiteral("InputItem"));
    if (mode == FormNow)
        ensureForm();
    else
        resize(rowSize());
    if (!sheetIsShared(parent))
        loadStyleSheet(this, QString::fromLatin1(rowSheetPath));
    connect(conversion, &TranscodeJob::stateChanged, this, &InputItem::showState);
    connect(conversion, &TranscodeJob::pausedChanged, this, [this] { showState(conversion->state()); });
    connect(conversion, &TranscodeJob::progressChanged, this, &InputItem::showProgress);
    connect(conversion, &TranscodeJob::finished, this, &InputItem::jobFinished);
    connect(conversion, &TranscodeJob::planChanged, this, [this] {
        targetStale = true;
        showTarget();
        showState(conversion->state());
    });
}

InputItem::~InputItem() = default;

QSize InputItem::rowSize()
{
    static const QSize size = [] {
        QWidget form;
        Ui::InputItem formUi;
        formUi.setupUi(&form);
        return form.size();
    }();
    return size;
}

void InputItem::ensureForm()
{
    if (formBuilt)
        return;
    formBuilt = true;
    ui.setupUi(this);
    ui.progressBar->setRange(0, 100);
    ui.progressBar->setValue(percent);
    ui.target->installEventFilter(this);
    showFile();
    showState(conversion->state());
    connect(ui.btnDel, &QPushButton::clicked, this, &InputItem::btnDel_clicked);
}

void InputItem::releaseForm()
{
    if (!formBuilt)
        return;
    formBuilt = false;
    delete layout();
    // Later, as the form may be in the middle of delivering an event.
    for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        child->hide();
        child->deleteLater();
    }
    ui = Ui::InputItem{};
}

void InputItem::shareStyleSheet(QWidget *list)
{
    loadStyleSheet(list, QString::fromLatin1(rowSheetPath));
    list->setProperty(sharesRowSheet, true);
}

int InputItem::setInputFile(const QByteArray &path, const AVSettings &settings)
{
    const int code = conversion->setInput(path, settings);
    if (code != ResultOk)
        return code;
    const QFileInfo info(QString::fromUtf8(path));
    const double megabytes = double(info.size()) / 1024 / 1024;
    sizeText = QString::asprintf("大小:%.1f MB", megabytes);
    nameText = info.fileName();
    showFile();
    showPaths(conversion->state());
    return ResultOk;
}

void InputItem::setAbsentInputFile(const QByteArray &path, const AVSettings &settings)
{
    conversion->setAbsentInput(path, settings);
    sizeText.clear();
    nameText = QFileInfo(QString::fromUtf8(path)).fileName();
    showFile();
    showState(conversion->state());
}

void InputItem::showFile()
{
    // A row not yet bound keeps the form's sample texts.
    if (!formBuilt || nameText.isEmpty())
        return;
    ui.filesize->setText(sizeText);
    // Cut in the middle, where long names of a series differ least; the
    // label's font is the sheet's only once it is polished.
    ui.filename->ensurePolished();
    ui.filename->setText(ui.filename->fontMetrics().elidedText(nameText, Qt::ElideMiddle,
                                                               ui.filename->maximumWidth()));
    showTarget();
}

void InputItem::showTarget()
{
    if (!formBuilt || nameText.isEmpty())
        return;
    if (targetStale) {
        const QString length =
            conversion->hasMedia() ? lengthText(conversion->media().duration) : QString();
        targetLine = targetText(conversion->settings(), conversion->media());
        if (!length.isEmpty())
            targetLine = length + QLatin1Char(' ') + targetLine;
        targetStale = false;
    }
    ui.target->setToolTip(targetLine);
    fitTarget();
}

void InputItem::fitTarget()
{
    // Until the layout has placed the label its width means nothing; its
    // resize brings it here again.
    ui.target->ensurePolished();
    ui.target->setText(
        ui.target->fontMetrics().elidedText(targetLine, Qt::ElideRight, ui.target->width()));
}

bool InputItem::eventFilter(QObject *watched, QEvent *event)
{
    if (formBuilt && watched == ui.target && event->type() == QEvent::Resize && !nameText.isEmpty())
        fitTarget();
    return QWidget::eventFilter(watched, event);
}

void InputItem::showPaths(int state)
{
    QString paths = QStringLiteral("源文件：") + QString::fromUtf8(inputPath());
    // The name actually written, which may carry a number.
    if (state == ConvertDone)
        paths += QStringLiteral("\n输出文件：") + QString::fromUtf8(conversion->outputPath());
    setToolTip(paths);
}

int InputItem::startConvert()
{
    return conversion->start(conversion->plannedOutputPath());
}

int InputItem::startConvert(const QByteArray &outputPath)
{
    return conversion->start(outputPath);
}

void InputItem::btnDel_clicked()
{
    emit ItemDelete(this);
}

void InputItem::showState(int state)
{
    showPaths(state);
    if (!formBuilt)
        return;
    const bool held = state == ConvertRunning && conversion->isPaused();
    ui.status->setText(conversion->isSourceAbsent() ? QStringLiteral("源文件不存在")
                       : held                       ? QStringLiteral("已暂停...")
                                                    : QString::fromUtf8(statusTexts[state]));
    // The reason stays on the row after the summary has gone.
    QString reason;
    if (state == ConvertError)
        reason = QString::fromUtf8(conversion->errorText()).trimmed();
    else if (state == ConvertDone)
        reason = QString::fromUtf8(conversion->warningText()).trimmed();
    // What goes where: the tracks kept, a subtitle burned, what is lost.
    if (state != ConvertError && conversion->hasMedia()) {
        const QStringList notes = conversion->plan().notes;
        if (!notes.isEmpty())
            reason += (reason.isEmpty() ? QString() : QStringLiteral("\n")) + notes.join('\n');
    }
    ui.status->setToolTip(reason);
}

void InputItem::showProgress(int value)
{
    percent = value;
    if (formBuilt)
        ui.progressBar->setValue(value);
}

void InputItem::jobFinished()
{
    emit ItemConvertDone(this);
}
