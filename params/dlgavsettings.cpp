#include "dlgavsettings.h"
#include "ui_dlgavsettings.h"


#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStringList>

#include "catalogue.h"
#include "presettexts.h"
#include "streamplan.h"
#include "stylesheet.h"
#include "windowplacement.h"

namespace {

const QString defaultText = QStringLiteral("默认");
// The subtitle combo's first rows; the tracks to burn follow.
constexpr int subtitleAutoRow = 0;
constexpr int subtitleNoneRow = 1;

QList<MediaStream> burnableSubtitles(const MediaInfo &media)
{
    QList<MediaStream> subtitles;
    for (const MediaStream &subtitle : media.streamsOf(StreamSubtitle)) {
        if (subtitle.isTextSubtitle() || subtitle.isBitmapSubtitle())
            subtitles.append(subtitle);
    }
    return subtitles;
}

// The combo's row whose stream is `index`, or `otherwise`.
int rowOfStream(const QComboBox *combo, int index, int otherwise)
{
    const int row = index < 0 ? -1 : combo->findData(index);
    return row < 0 ? otherwise : row;
}

void addTableTexts(QComboBox *combo, const CatalogueTable &table)
{
    for (const auto &entry : table)
        combo->addItem(QString::fromUtf8(entry.second));
}

void addCodecTexts(QComboBox *combo, const CatalogueTable &names, const QVector<int> &keys)
{
    for (int key : keys) {
        if (const QByteArray *name = catalogueText(names, key))
            combo->addItem(QString::fromUtf8(*name));
    }
}

void showNumber(QComboBox *combo, int value)
{
    combo->setCurrentText(value == -1 ? defaultText : QString::number(value));
}

int numberOf(const QString &text)
{
    return text == defaultText ? -1 : text.toInt(nullptr, 10);
}

void readKey(const CatalogueTable &table, const QString &text, int *field)
{
    catalogueKey(table, text.toUtf8(), field);
}

} // namespace

CDlgAVSettings::CDlgAVSettings(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CDlgAVSettings)
{
    ui->setupUi(this);
    // A plain group box passes presses on to its parent in Qt 5.15; the two
    // boxes keep them, so that only the strip, the labels and the background
    // start a drag.
    ui->groupBox->setAttribute(Qt::WA_NoMousePropagation);
    ui->groupBox_2->setAttribute(Qt::WA_NoMousePropagation);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);
    loadStyleSheet(this, QStringLiteral(":/qss/css/DlgAVSettings.css"));
    centreOnDesktop(this);
    show();
}

CDlgAVSettings::~CDlgAVSettings()
{
    delete ui;
}

void CDlgAVSettings::setSettings(AVSettings record)
{
    // The handlers are connected last, so filling and selecting never write
    // into settings.
    settings = record;
    fillFixedCombos();
    refreshCodecLists();
    refreshTracks();
    ui->chkCopy->setChecked(settings.copyIfFits);
    connectCombos();
    filled = true;
}

void CDlgAVSettings::setMedia(const MediaInfo &media)
{
    source = media;
    if (filled)
        refreshTracks();
}

// Each list shows what the settings mean for this file: a track chosen in
// another file is this file's track in the same language, or 全部音轨 /
// 自动 where it has none.
void CDlgAVSettings::refreshTracks()
{
    const QSignalBlocker blockAudio(ui->cboxAT);
    const QSignalBlocker blockSubtitles(ui->cboxST);
    ui->cboxAT->clear();
    ui->cboxAT->addItem(QStringLiteral("全部音轨"), -1);
    const QList<MediaStream> audio = source.streamsOf(StreamAudio);
    for (const MediaStream &track : audio)
        ui->cboxAT->addItem(streamLabel(track), track.index);
    const int audioTrack = settings.audioTracks == OneAudioTrack
                               ? chosenTrack(audio, settings.audioTrack, settings.audioLanguage)
                               : -1;
    ui->cboxAT->setCurrentIndex(rowOfStream(ui->cboxAT, audioTrack, 0));

    ui->cboxST->clear();
    ui->cboxST->addItem(QStringLiteral("自动"), -1);
    ui->cboxST->addItem(QStringLiteral("不要字幕"), -1);
    const QList<MediaStream> subtitles = burnableSubtitles(source);
    for (const MediaStream &track : subtitles)
        ui->cboxST->addItem(QStringLiteral("烧录：") + streamLabel(track), track.index);
    if (settings.subtitleMode == SubtitlesNone) {
        ui->cboxST->setCurrentIndex(subtitleNoneRow);
    } else {
        const int burned = settings.subtitleMode == SubtitlesBurn
                               ? chosenTrack(subtitles, settings.subtitleTrack, settings.subtitleLanguage)
                               : -1;
        ui->cboxST->setCurrentIndex(rowOfStream(ui->cboxST, burned, subtitleAutoRow));
    }
    // A track's name may be longer than the column: its list opens wider.
    for (QComboBox *combo : {ui->cboxAT, ui->cboxST})
        combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + combo->iconSize().width());
}

void CDlgAVSettings::fillFixedCombos()
{
    const auto fill = [](QComboBox *combo, const CatalogueTable *table, const QStringList &texts) {
        combo->clear();
        if (table)
            addTableTexts(combo, *table);
        combo->addItems(texts);
    };
    fill(ui->cboxVC, &containerNames, {});
    fill(ui->cboxVQL, &qualityLevels, {});
    fill(ui->cboxR, &resolutions, {defaultText});
    fill(ui->cboxCRF, nullptr, {"18", "24", "32", "40", defaultText});
    fill(ui->cboxBV, nullptr,
         {"256", "384", "512", "768", "1024", "1200", "1600", "2048", "2400", defaultText});
    fill(ui->cboxFPS, nullptr, {"12", "15", "18", "24", "30", defaultText});
    fill(ui->cboxAQL, &qualityLevels, {});
    fill(ui->cboxBA, nullptr, {"24", "32", "64", "96", "128", "192", "224", "256", defaultText});
    fill(ui->cboxAR, nullptr, {"22050", "24000", "44100", "48000", defaultText});
    for (const auto &entry : qualityLevels) {
        ui->cboxVQL->setItemData(entry.first, videoQualityTip(entry.first), Qt::ToolTipRole);
        ui->cboxAQL->setItemData(entry.first, audioQualityTip(entry.first), Qt::ToolTipRole);
    }
}

void CDlgAVSettings::connectCombos()
{
    // The quality levels hang on the user's choice only, so re-choosing the
    // shown level applies its preset again and a programmatic selection never does.
    connect(ui->cboxVC, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxVC_changed);
    connect(ui->cboxVQL, &QComboBox::textActivated, this, &CDlgAVSettings::cboxVQL_changed);
    connect(ui->cboxCV, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxCV_changed);
    connect(ui->cboxR, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxR_changed);
    connect(ui->cboxCRF, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxCRF_changed);
    connect(ui->cboxBV, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxBV_changed);
    connect(ui->cboxFPS, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxFPS_changed);
    connect(ui->cboxAQL, &QComboBox::textActivated, this, &CDlgAVSettings::cboxAQL_changed);
    connect(ui->cboxCA, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxCA_changed);
    connect(ui->cboxBA, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxBA_changed);
    connect(ui->cboxAR, &QComboBox::currentTextChanged, this, &CDlgAVSettings::cboxAR_changed);
    connect(ui->cboxAT, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CDlgAVSettings::cboxAT_changed);
    connect(ui->cboxST, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CDlgAVSettings::cboxST_changed);
    connect(ui->chkCopy, &QCheckBox::toggled, this, &CDlgAVSettings::chkCopy_toggled);
}

void CDlgAVSettings::refreshCodecLists()
{
    ui->cboxVC->setCurrentIndex(settings.container);
    {
        // The refill must not reach the codec handlers: the rows they would
        // report are transient, not the user's choice.
        const QSignalBlocker blockVideo(ui->cboxCV);
        const QSignalBlocker blockAudio(ui->cboxCA);
        ui->cboxCV->clear();
        ui->cboxCA->clear();
        addCodecTexts(ui->cboxCV, videoCodecNames, offeredVideoCodecs(settings.container));
        addCodecTexts(ui->cboxCA, audioCodecNames, offeredAudioCodecs(settings.container));
    }
    refreshVideo();
    refreshAudio();
}

void CDlgAVSettings::refreshVideo()
{
    ui->cboxVQL->setCurrentIndex(settings.videoQuality);
    if (const QByteArray *name = catalogueText(videoCodecNames, settings.videoCodec))
        ui->cboxCV->setCurrentText(QString::fromUtf8(*name));
    if (settings.resolution == -1)
        ui->cboxR->setCurrentText(defaultText);
    else
        ui->cboxR->setCurrentIndex(settings.resolution);
    showNumber(ui->cboxCRF, settings.crf);
    showNumber(ui->cboxBV, settings.videoBitrate);
    showNumber(ui->cboxFPS, settings.frameRate);
}

void CDlgAVSettings::refreshAudio()
{
    ui->cboxAQL->setCurrentIndex(settings.audioQuality);
    if (const QByteArray *name = catalogueText(audioCodecNames, settings.audioCodec))
        ui->cboxCA->setCurrentText(QString::fromUtf8(*name));
    showNumber(ui->cboxBA, settings.audioBitrate);
    showNumber(ui->cboxAR, settings.sampleRate);
}

void CDlgAVSettings::mousePressEvent(QMouseEvent *event)
{
    QDialog::mousePressEvent(event);
    pressPos = event->pos();
    dragging = true;
}

void CDlgAVSettings::mouseReleaseEvent(QMouseEvent *event)
{
    QDialog::mouseReleaseEvent(event);
    dragging = false;
}

void CDlgAVSettings::mouseMoveEvent(QMouseEvent *event)
{
    QDialog::mouseMoveEvent(event);
    if (dragging)
        move(event->globalPos() - pressPos);
}

void CDlgAVSettings::on_btnTopClose_clicked()
{
    confirmed = false;
    close();
}

void CDlgAVSettings::on_btnOk_clicked()
{
    confirmed = true;
    close();
}

void CDlgAVSettings::on_btnCancel_clicked()
{
    confirmed = false;
    close();
}

void CDlgAVSettings::cboxVC_changed(const QString &text)
{
    int container = settings.container;
    if (!catalogueKey(containerNames, text.toUtf8(), &container))
        return;
    applyContainer(settings, container);
    refreshCodecLists();
}

void CDlgAVSettings::cboxVQL_changed(const QString &)
{
    applyVideoQuality(settings, ui->cboxVQL->currentIndex());
    refreshVideo();
}

void CDlgAVSettings::cboxCV_changed(const QString &text)
{
    readKey(videoCodecNames, text, &settings.videoCodec);
}

void CDlgAVSettings::cboxR_changed(const QString &text)
{
    if (text == defaultText)
        settings.resolution = -1;
    else
        readKey(resolutions, text, &settings.resolution);
}

void CDlgAVSettings::cboxCRF_changed(const QString &text)
{
    settings.crf = numberOf(text);
}

void CDlgAVSettings::cboxBV_changed(const QString &text)
{
    settings.videoBitrate = numberOf(text);
}

void CDlgAVSettings::cboxFPS_changed(const QString &text)
{
    settings.frameRate = numberOf(text);
}

void CDlgAVSettings::cboxAQL_changed(const QString &)
{
    applyAudioQuality(settings, ui->cboxAQL->currentIndex());
    refreshAudio();
}

void CDlgAVSettings::cboxCA_changed(const QString &text)
{
    readKey(audioCodecNames, text, &settings.audioCodec);
}

void CDlgAVSettings::cboxBA_changed(const QString &text)
{
    settings.audioBitrate = numberOf(text);
}

void CDlgAVSettings::cboxAR_changed(const QString &text)
{
    settings.sampleRate = numberOf(text);
}

// A track is kept by its index and its language, so that applied to all
// files the choice finds the track in the same language in each.
void CDlgAVSettings::cboxAT_changed(int index)
{
    const int stream = ui->cboxAT->itemData(index).toInt();
    const QList<MediaStream> audio = source.streamsOf(StreamAudio);
    const MediaStream *track = findStream(audio, stream);
    settings.audioTracks = track ? OneAudioTrack : AllAudioTracks;
    settings.audioTrack = track ? track->index : -1;
    settings.audioLanguage = track ? track->language : QByteArray();
}

void CDlgAVSettings::cboxST_changed(int index)
{
    const int stream = ui->cboxST->itemData(index).toInt();
    const QList<MediaStream> subtitles = burnableSubtitles(source);
    if (const MediaStream *track = findStream(subtitles, stream)) {
        settings.subtitleMode = SubtitlesBurn;
        settings.subtitleTrack = track->index;
        settings.subtitleLanguage = track->language;
        return;
    }
    settings.subtitleMode = index == subtitleNoneRow ? SubtitlesNone : SubtitlesAuto;
    settings.subtitleTrack = -1;
    settings.subtitleLanguage.clear();
}

void CDlgAVSettings::chkCopy_toggled(bool checked)
{
    settings.copyIfFits = checked;
}
