#include "dlgavsettings.h"
#include "ui_dlgavsettings.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStringList>

#include "catalogue.h"
#include "stylesheet.h"
#include "windowplacement.h"

namespace {

const QString defaultText = QStringLiteral("默认");

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
    connectCombos();
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
