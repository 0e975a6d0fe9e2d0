#include <QtTest>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopWidget>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "../params/avsettingsprinter.h"
#include "avsettings.h"
#include "catalogue.h"
#include "dlgavsettings.h"
#include "records.h"
#include "windowplacement.h"
#include "waits.h"

namespace {

const QString defaultText = QStringLiteral("默认");

// The default record of the main window.
AVSettings defaultRecord()
{
    return makeAVSettings(0, 1, 1);
}

QComboBox *combo(const QWidget &dialog, const char *name)
{
    auto *box = dialog.findChild<QComboBox *>(QLatin1String(name));
    if (!box)
        qFatal("no combo %s", name);
    return box;
}

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int row = 0; row < box->count(); ++row)
        texts << box->itemText(row);
    return texts;
}

// The user's way: open the list, walk to the entry with the arrow keys and
// take it with Return, also when it is the one already shown. (A click right
// after opening is swallowed by the list's double-click guard.)
bool choose(const QWidget &dialog, const char *name, const QString &text)
{
    QComboBox *box = combo(dialog, name);
    const int row = box->findText(text);
    if (row < 0)
        return false;
    box->showPopup();
    QAbstractItemView *view = box->view();
    if (!QTest::qWaitForWindowExposed(view->window(), processWaitMs))
        return false;
    for (int at = view->currentIndex().row(); at != row; at += row > at ? 1 : -1)
        QTest::keyClick(view, row > at ? Qt::Key_Down : Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Return);
    return QTest::qWaitFor([view] { return !view->isVisible(); }, processWaitMs) && box->currentText() == text;
}

int number(const QString &text)
{
    return text == defaultText ? -1 : text.toInt();
}

int keyOf(const CatalogueTable &table, const QString &text)
{
    int key = -2;
    catalogueKey(table, text.toUtf8(), &key);
    return key;
}

// The record as the eleven combos show it.
AVSettings shownRecord(const QWidget &d)
{
    const QString resolution = combo(d, "cboxR")->currentText();
    return record(keyOf(containerNames, combo(d, "cboxVC")->currentText()),
                  keyOf(videoCodecNames, combo(d, "cboxCV")->currentText()),
                  keyOf(audioCodecNames, combo(d, "cboxCA")->currentText()),
                  resolution == defaultText ? -1 : keyOf(resolutions, resolution),
                  number(combo(d, "cboxBV")->currentText()),
                  number(combo(d, "cboxCRF")->currentText()),
                  number(combo(d, "cboxFPS")->currentText()),
                  number(combo(d, "cboxBA")->currentText()),
                  number(combo(d, "cboxAR")->currentText()),
                  combo(d, "cboxVQL")->currentIndex(), combo(d, "cboxAQL")->currentIndex());
}

// Mouse event as the platform would deliver it, with an explicit global position.
void sendMouse(QWidget *target, QEvent::Type type, QPoint local, QPoint global, Qt::MouseButton button)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : button,
                      buttons, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(target, &event);
}

} // namespace

class TestSettingsDialog final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void form();
    void defaultRecordShown();
    void containerCascade_data();
    void containerCascade();
    void shownContainerAgainKeepsCodecs();
    void qualityPreset_data();
    void qualityPreset();
    void shownLevelAgainResetsHandValue_data();
    void shownLevelAgainResetsHandValue();
    void singleField_data();
    void singleField();
    void refillKeepsRecord_data();
    void refillKeepsRecord();
    void outOfRangeContainer();
    void trackChoices_data();
    void trackChoices();
    void leaving_data();
    void leaving();
    void okDuringExec();
    void dragging_data();
    void dragging();
    void centredPosition_data();
    void centredPosition();

private:
    // The main window the dialog belongs to.
    QWidget *owner = nullptr;
};

void TestSettingsDialog::initTestCase()
{
    initCatalogue();
}

void TestSettingsDialog::init()
{
    owner = new QWidget;
    owner->resize(800, 510);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner, processWaitMs));
}

void TestSettingsDialog::cleanup()
{
    delete owner;
    owner = nullptr;
}

void TestSettingsDialog::form()
{
    CDlgAVSettings dialog(owner);
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.windowModality(), Qt::WindowModal);
    QVERIFY(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(dialog.windowType(), Qt::Tool);
    QCOMPARE(dialog.size(), QSize(396, 450));
    QVERIFY(dialog.styleSheet().contains("QWidget#CDlgAVSettings{"));

    auto *cancel = dialog.findChild<QPushButton *>("btnCancel");
    auto *ok = dialog.findChild<QPushButton *>("btnOk");
    QCOMPARE(cancel->text(), QStringLiteral("取消"));
    QCOMPARE(ok->text(), QStringLiteral("确定"));
    QVERIFY(cancel->geometry().right() < ok->geometry().left());
    QCOMPARE(dialog.findChild<QLabel *>("labelLogo")->text(), QStringLiteral("转码参数设置"));
    QCOMPARE(dialog.findChild<QWidget *>("widget_top")->height(), 40);
}

void TestSettingsDialog::defaultRecordShown()
{
    CDlgAVSettings dialog(owner);
    dialog.setSettings(defaultRecord());

    const QStringList shown{".mp4 (默认 H.264-AAC)", "中质量", "AVC(H264)", "默认", "24", "512",
                            "18", "中质量", "AAC", "128", "44100"};
    const char *const names[] = {"cboxVC", "cboxVQL", "cboxCV", "cboxR", "cboxCRF", "cboxBV",
                                 "cboxFPS", "cboxAQL", "cboxCA", "cboxBA", "cboxAR"};
    for (int i = 0; i < shown.size(); ++i)
        QCOMPARE(combo(dialog, names[i])->currentText(), shown.at(i));
    QCOMPARE(dialog.settings, defaultRecord());
    QVERIFY(!dialog.confirmed);

    // On by default; the click is the record's, and a record with it off shows it off.
    auto *copy = dialog.findChild<QCheckBox *>("chkCopy");
    QCOMPARE(copy->text(), QStringLiteral("尽量直接复制（更快，无损）"));
    QVERIFY(copy->isChecked());
    QTest::mouseClick(copy, Qt::LeftButton, {}, QPoint(8, copy->height() / 2));
    QVERIFY(!dialog.settings.copyIfFits);
    CDlgAVSettings again(owner);
    again.setSettings(dialog.settings);
    QVERIFY(!again.findChild<QCheckBox *>("chkCopy")->isChecked());
}

void TestSettingsDialog::containerCascade_data()
{
    QTest::addColumn<AVSettings>("start");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QStringList>("videoItems");
    QTest::addColumn<QStringList>("audioItems");
    QTest::addColumn<QString>("videoShown");
    QTest::addColumn<QString>("audioShown");

    AVSettings handPicked = makeAVSettings(2, 2, 0);
    handPicked.videoCodec = 5;
    handPicked.audioCodec = 3;
    handPicked.resolution = 1;

    QTest::newRow(".wmv from the default") << defaultRecord() << ".wmv (默认 WMV2-WMAv2)"
                                            << QStringList{"WMV2"} << QStringList{"WMAv2"}
                                            << "WMV2" << "WMAv2";
    QTest::newRow(".avi after .wmv")
        << makeAVSettings(3, 1, 1) << ".avi (默认 H.264-MP3)"
        << QStringList{"MPEG4(DivX)", "MPEG4(Xvid)", "AVC(H264)", "HEVC(H265)", "WMV2", "FLV1", "Copy"}
        << QStringList{"MP3", "WMAv2", "Copy"} << "AVC(H264)" << "MP3";
    QTest::newRow(".mp4 after hand-picked .avi codecs")
        << handPicked << ".mp4 (默认 H.264-AAC)"
        << QStringList{"MPEG4(DivX)", "MPEG4(Xvid)", "AVC(H264)", "HEVC(H265)", "Copy"}
        << QStringList{"AAC", "Copy"} << "AVC(H264)" << "AAC";
    QTest::newRow(".flv after .wmv") << makeAVSettings(3, 3, 3) << ".flv (默认 H.264-AAC)"
                                     << QStringList{"MPEG4(DivX)", "AVC(H264)", "FLV1"}
                                     << QStringList{"AAC", "MP3"} << "AVC(H264)" << "AAC";
}

void TestSettingsDialog::containerCascade()
{
    QFETCH(AVSettings, start);
    QFETCH(QString, container);
    QFETCH(QStringList, videoItems);
    QFETCH(QStringList, audioItems);
    QFETCH(QString, videoShown);
    QFETCH(QString, audioShown);

    CDlgAVSettings dialog(owner);
    dialog.setSettings(start);
    QVERIFY(choose(dialog, "cboxVC", container));

    QCOMPARE(items(combo(dialog, "cboxCV")), videoItems);
    QCOMPARE(items(combo(dialog, "cboxCA")), audioItems);
    QCOMPARE(combo(dialog, "cboxCV")->currentText(), videoShown);
    QCOMPARE(combo(dialog, "cboxCA")->currentText(), audioShown);

    AVSettings expected = start;
    applyContainer(expected, keyOf(containerNames, container));
    QCOMPARE(dialog.settings, expected);
    QCOMPARE(shownRecord(dialog), expected);
}

void TestSettingsDialog::shownContainerAgainKeepsCodecs()
{
    CDlgAVSettings dialog(owner);
    dialog.setSettings(defaultRecord());
    QVERIFY(choose(dialog, "cboxCV", "MPEG4(DivX)"));
    QVERIFY(choose(dialog, "cboxCA", "Copy"));
    const AVSettings handPicked = dialog.settings;
    QCOMPARE(handPicked.videoCodec, 0);
    QCOMPARE(handPicked.audioCodec, 3);

    QVERIFY(choose(dialog, "cboxVC", ".mp4 (默认 H.264-AAC)"));
    QCOMPARE(dialog.settings, handPicked);
    QCOMPARE(combo(dialog, "cboxCV")->currentText(), QStringLiteral("MPEG4(DivX)"));
    QCOMPARE(combo(dialog, "cboxCA")->currentText(), QStringLiteral("Copy"));
}

void TestSettingsDialog::qualityPreset_data()
{
    QTest::addColumn<QString>("quality");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QStringList>("dependents");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<AVSettings>("expected");

    // Start: the default record with the frame size 720x480 and AVC.
    const QStringList video{"cboxCRF", "cboxBV", "cboxFPS", "cboxR", "cboxCV"};
    const QStringList audio{"cboxBA", "cboxAR", "cboxCA"};
    QTest::newRow("video 高质量") << "cboxVQL" << "高质量" << video
                               << QStringList{"18", "1024", "30", "720x480", "AVC(H264)"}
                               << record(0, 2, 0, 2, 1024, 18, 30, 128, 44100, 2, 1);
    QTest::newRow("video 低质量") << "cboxVQL" << "低质量" << video
                               << QStringList{"32", "256", "12", "720x480", "AVC(H264)"}
                               << record(0, 2, 0, 2, 256, 32, 12, 128, 44100, 0, 1);
    QTest::newRow("video 默认") << "cboxVQL" << "默认" << video
                              << QStringList{"默认", "默认", "默认", "720x480", "AVC(H264)"}
                              << record(0, 2, 0, 2, -1, -1, -1, 128, 44100, 3, 1);
    QTest::newRow("audio 默认") << "cboxAQL" << "默认" << audio
                              << QStringList{"默认", "默认", "AAC"}
                              << record(0, 2, 0, 2, 512, 24, 18, -1, -1, 1, 3);
    QTest::newRow("audio 低质量") << "cboxAQL" << "低质量" << audio
                               << QStringList{"32", "24000", "AAC"}
                               << record(0, 2, 0, 2, 512, 24, 18, 32, 24000, 1, 0);
    QTest::newRow("audio 高质量") << "cboxAQL" << "高质量" << audio
                               << QStringList{"256", "48000", "AAC"}
                               << record(0, 2, 0, 2, 512, 24, 18, 256, 48000, 1, 2);
}

void TestSettingsDialog::qualityPreset()
{
    QFETCH(QString, quality);
    QFETCH(QString, level);
    QFETCH(QStringList, dependents);
    QFETCH(QStringList, shown);
    QFETCH(AVSettings, expected);

    AVSettings start = defaultRecord();
    start.resolution = 2;
    CDlgAVSettings dialog(owner);
    dialog.setSettings(start);
    QVERIFY(choose(dialog, qPrintable(quality), level));

    for (int i = 0; i < dependents.size(); ++i)
        QCOMPARE(combo(dialog, qPrintable(dependents.at(i)))->currentText(), shown.at(i));
    QCOMPARE(dialog.settings, expected);
    QCOMPARE(shownRecord(dialog), expected);
}

void TestSettingsDialog::shownLevelAgainResetsHandValue_data()
{
    QTest::addColumn<QString>("quality");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("handText");
    QTest::addColumn<AVSettings>("afterHand");

    QTest::newRow("CRF under 中质量") << "cboxVQL" << "cboxCRF" << "40"
                                   << record(0, 2, 0, -1, 512, 40, 18, 128, 44100, 1, 1);
    QTest::newRow("FPS under 中质量") << "cboxVQL" << "cboxFPS" << "默认"
                                   << record(0, 2, 0, -1, 512, 24, -1, 128, 44100, 1, 1);
    QTest::newRow("audio bitrate under 中质量") << "cboxAQL" << "cboxBA" << "256"
                                          << record(0, 2, 0, -1, 512, 24, 18, 256, 44100, 1, 1);
}

void TestSettingsDialog::shownLevelAgainResetsHandValue()
{
    QFETCH(QString, quality);
    QFETCH(QString, field);
    QFETCH(QString, handText);
    QFETCH(AVSettings, afterHand);

    CDlgAVSettings dialog(owner);
    dialog.setSettings(defaultRecord());
    QVERIFY(choose(dialog, qPrintable(field), handText));
    QCOMPARE(dialog.settings, afterHand);
    QCOMPARE(combo(dialog, qPrintable(quality))->currentText(), QStringLiteral("中质量"));

    QVERIFY(choose(dialog, qPrintable(quality), "中质量"));
    QCOMPARE(dialog.settings, defaultRecord());
    QCOMPARE(shownRecord(dialog), defaultRecord());
}

void TestSettingsDialog::singleField_data()
{
    QTest::addColumn<AVSettings>("start");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<AVSettings>("expected");

    AVSettings fullHd = defaultRecord();
    fullHd.resolution = 0;

    QTest::newRow("frame size 默认") << fullHd << "cboxR" << "默认" << defaultRecord();
    QTest::newRow("frame size 720x480") << defaultRecord() << "cboxR" << "720x480"
                                         << record(0, 2, 0, 2, 512, 24, 18, 128, 44100, 1, 1);
    QTest::newRow("video codec HEVC") << defaultRecord() << "cboxCV" << "HEVC(H265)"
                                      << record(0, 3, 0, -1, 512, 24, 18, 128, 44100, 1, 1);
    QTest::newRow("video bitrate 2400") << defaultRecord() << "cboxBV" << "2400"
                                         << record(0, 2, 0, -1, 2400, 24, 18, 128, 44100, 1, 1);
    QTest::newRow("video bitrate 默认") << defaultRecord() << "cboxBV" << "默认"
                                       << record(0, 2, 0, -1, -1, 24, 18, 128, 44100, 1, 1);
    QTest::newRow("CRF 18") << defaultRecord() << "cboxCRF" << "18"
                            << record(0, 2, 0, -1, 512, 18, 18, 128, 44100, 1, 1);
    QTest::newRow("FPS 15") << defaultRecord() << "cboxFPS" << "15"
                            << record(0, 2, 0, -1, 512, 24, 15, 128, 44100, 1, 1);
    QTest::newRow("audio bitrate 24") << defaultRecord() << "cboxBA" << "24"
                                      << record(0, 2, 0, -1, 512, 24, 18, 24, 44100, 1, 1);
    QTest::newRow("sample rate 22050") << defaultRecord() << "cboxAR" << "22050"
                                        << record(0, 2, 0, -1, 512, 24, 18, 128, 22050, 1, 1);
    QTest::newRow("sample rate 默认") << defaultRecord() << "cboxAR" << "默认"
                                     << record(0, 2, 0, -1, 512, 24, 18, 128, -1, 1, 1);
    QTest::newRow("audio codec Copy") << defaultRecord() << "cboxCA" << "Copy"
                                      << record(0, 2, 3, -1, 512, 24, 18, 128, 44100, 1, 1);
}

void TestSettingsDialog::singleField()
{
    QFETCH(AVSettings, start);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(AVSettings, expected);

    CDlgAVSettings dialog(owner);
    dialog.setSettings(start);
    QVERIFY(choose(dialog, qPrintable(name), text));
    QCOMPARE(dialog.settings, expected);
    // A hand-set value never moves the quality levels.
    QCOMPARE(combo(dialog, "cboxVQL")->currentText(), QStringLiteral("中质量"));
    QCOMPARE(combo(dialog, "cboxAQL")->currentText(), QStringLiteral("中质量"));
}

void TestSettingsDialog::refillKeepsRecord_data()
{
    QTest::addColumn<AVSettings>("start");
    QTest::addColumn<QString>("videoShown");
    QTest::addColumn<QString>("audioShown");

    // Codecs the container does not offer: the combos fall back to their first
    // row, the record keeps what it was given.
    AVSettings wmvWithAvc = makeAVSettings(3, 1, 1);
    wmvWithAvc.videoCodec = 2;
    AVSettings mp4WithWma = defaultRecord();
    mp4WithWma.audioCodec = 2;
    AVSettings flvWithCopy = makeAVSettings(1, 1, 1);
    flvWithCopy.videoCodec = 6;
    flvWithCopy.audioCodec = 3;

    QTest::newRow(".wmv holding AVC") << wmvWithAvc << "WMV2" << "WMAv2";
    QTest::newRow(".mp4 holding WMAv2") << mp4WithWma << "AVC(H264)" << "AAC";
    QTest::newRow(".flv holding Copy twice") << flvWithCopy << "MPEG4(DivX)" << "AAC";
}

void TestSettingsDialog::refillKeepsRecord()
{
    QFETCH(AVSettings, start);
    QFETCH(QString, videoShown);
    QFETCH(QString, audioShown);

    CDlgAVSettings dialog(owner);
    dialog.setSettings(start);
    QCOMPARE(combo(dialog, "cboxCV")->currentText(), videoShown);
    QCOMPARE(combo(dialog, "cboxCA")->currentText(), audioShown);
    QCOMPARE(dialog.settings, start);

    // Picking another frame size later writes only that field.
    QVERIFY(choose(dialog, "cboxR", "480x320"));
    AVSettings expected = start;
    expected.resolution = 3;
    QCOMPARE(dialog.settings, expected);
}

void TestSettingsDialog::trackChoices_data()
{
    QTest::addColumn<AVSettings>("given");
    QTest::addColumn<MediaInfo>("media");
    // The combo chosen by the user, or none.
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QStringList>("audioItems");
    QTest::addColumn<QStringList>("subtitleItems");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<AVSettings>("taken");

    const QStringList filmAudio{"全部音轨", "国语", "英语 · English 5.1"};
    const QStringList filmSubtitles{"自动", "不要字幕", "烧录：中文", "烧录：英语"};
    const auto with = [](auto change) {
        AVSettings s = defaultRecord();
        change(s);
        return s;
    };
    const AVSettings english = with([](AVSettings &s) {
        s.audioTracks = OneAudioTrack;
        s.audioTrack = 2;
        s.audioLanguage = "eng";
    });
    const AVSettings burnEnglish = with([](AVSettings &s) {
        s.subtitleMode = SubtitlesBurn;
        s.subtitleTrack = 4;
        s.subtitleLanguage = "eng";
    });
    QTest::newRow("a film's tracks, by language and title")
        << defaultRecord() << film() << QByteArray() << QString() << filmAudio << filmSubtitles
        << QStringList{"全部音轨", "自动"} << defaultRecord();
    QTest::newRow("one audio track") << defaultRecord() << film() << QByteArray("cboxAT")
                                     << "英语 · English 5.1" << filmAudio << filmSubtitles
                                     << QStringList{"英语 · English 5.1", "自动"} << english;
    QTest::newRow("all tracks again") << english << film() << QByteArray("cboxAT") << "全部音轨" << filmAudio
                                      << filmSubtitles << QStringList{"全部音轨", "自动"} << defaultRecord();
    QTest::newRow("burn one subtitle") << defaultRecord() << film() << QByteArray("cboxST") << "烧录：英语"
                                       << filmAudio << filmSubtitles << QStringList{"全部音轨", "烧录：英语"}
                                       << burnEnglish;
    QTest::newRow("不要字幕") << burnEnglish << film() << QByteArray("cboxST") << "不要字幕" << filmAudio
                              << filmSubtitles << QStringList{"全部音轨", "不要字幕"}
                              << with([](AVSettings &s) { s.subtitleMode = SubtitlesNone; });
    // Applied to all from a file whose English tracks were streams 7 and 9:
    // this film shows its own English tracks, and keeps the choice.
    const AVSettings fromAnother = with([](AVSettings &s) {
        s.audioTracks = OneAudioTrack;
        s.audioTrack = 7;
        s.audioLanguage = "eng";
        s.subtitleMode = SubtitlesBurn;
        s.subtitleTrack = 9;
        s.subtitleLanguage = "eng";
    });
    QTest::newRow("applied to all: the track in the same language")
        << fromAnother << film() << QByteArray() << QString() << filmAudio << filmSubtitles
        << QStringList{"英语 · English 5.1", "烧录：英语"} << fromAnother;
    const MediaInfo chinese = withStreams({stream(StreamVideo, 0, "h264"), stream(StreamAudio, 1, "aac", "chi"),
                                           stream(StreamSubtitle, 2, "subrip", "chi")});
    QTest::newRow("applied to all: a file without that language shows what it gets")
        << fromAnother << chinese << QByteArray() << QString() << QStringList{"全部音轨", "国语"}
        << QStringList{"自动", "不要字幕", "烧录：中文"} << QStringList{"全部音轨", "自动"} << fromAnother;
    QTest::newRow("a file not read yet") << defaultRecord() << MediaInfo() << QByteArray() << QString()
                                         << QStringList{"全部音轨"} << QStringList{"自动", "不要字幕"}
                                         << QStringList{"全部音轨", "自动"} << defaultRecord();
}

void TestSettingsDialog::trackChoices()
{
    QFETCH(AVSettings, given);
    QFETCH(MediaInfo, media);
    QFETCH(QByteArray, box);
    QFETCH(QString, choice);
    QFETCH(QStringList, audioItems);
    QFETCH(QStringList, subtitleItems);
    QFETCH(QStringList, shown);
    QFETCH(AVSettings, taken);

    CDlgAVSettings dialog(nullptr);
    dialog.setMedia(media);
    dialog.setSettings(given);
    QCOMPARE(items(combo(dialog, "cboxAT")), audioItems);
    QCOMPARE(items(combo(dialog, "cboxST")), subtitleItems);
    if (!box.isEmpty())
        QVERIFY(choose(dialog, box.constData(), choice));
    QCOMPARE((QStringList{combo(dialog, "cboxAT")->currentText(), combo(dialog, "cboxST")->currentText()}), shown);
    QCOMPARE(dialog.settings, taken);
}

void TestSettingsDialog::outOfRangeContainer()
{
    AVSettings start = defaultRecord();
    start.container = 7;
    CDlgAVSettings dialog(owner);
    dialog.setSettings(start);

    QCOMPARE(combo(dialog, "cboxCV")->count(), 0);
    QCOMPARE(combo(dialog, "cboxCA")->count(), 0);
    QCOMPARE(combo(dialog, "cboxVC")->currentIndex(), -1);
    QCOMPARE(combo(dialog, "cboxCRF")->currentText(), QStringLiteral("24"));
    QCOMPARE(dialog.settings, start);

    // Choosing a real container afterwards brings the codec lists back.
    QVERIFY(choose(dialog, "cboxVC", ".wmv (默认 WMV2-WMAv2)"));
    QCOMPARE(items(combo(dialog, "cboxCV")), QStringList{"WMV2"});
    QCOMPARE(dialog.settings, makeAVSettings(3, 1, 1));
}

void TestSettingsDialog::leaving_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("confirmed");

    QTest::newRow("取消") << "btnCancel" << false;
    QTest::newRow("title-strip close") << "btnTopClose" << false;
    QTest::newRow("Escape") << "Escape" << false;
    QTest::newRow("确定") << "btnOk" << true;
}

void TestSettingsDialog::leaving()
{
    QFETCH(QString, how);
    QFETCH(bool, confirmed);

    // The caller's side, as the main window does it.
    const AVSettings original = defaultRecord();
    AVSettings callerRecord = original;
    CDlgAVSettings dialog(owner);
    dialog.setSettings(callerRecord);

    QVERIFY(choose(dialog, "cboxVC", ".avi (默认 H.264-MP3)"));
    QVERIFY(choose(dialog, "cboxCV", "WMV2"));
    QVERIFY(choose(dialog, "cboxR", "1280x720"));
    QVERIFY(choose(dialog, "cboxAQL", "高质量"));
    QVERIFY(choose(dialog, "cboxFPS", "24"));
    const AVSettings shown = shownRecord(dialog);
    QCOMPARE(shown, record(2, 4, 1, 1, 512, 24, 24, 256, 48000, 1, 2));

    if (how == QLatin1String("Escape"))
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        QTest::mouseClick(dialog.findChild<QPushButton *>(how), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), processWaitMs);

    QCOMPARE(dialog.confirmed, confirmed);
    if (dialog.confirmed)
        callerRecord = dialog.settings;
    QCOMPARE(callerRecord, confirmed ? shown : original);
}

void TestSettingsDialog::okDuringExec()
{
    CDlgAVSettings dialog(owner);
    dialog.setSettings(defaultRecord());
    QTimer::singleShot(0, &dialog, [&dialog] {
        choose(dialog, "cboxVC", ".wmv (默认 WMV2-WMAv2)");
        QTest::mouseClick(dialog.findChild<QPushButton *>("btnOk"), Qt::LeftButton);
    });
    dialog.exec();
    QVERIFY(dialog.confirmed);
    QCOMPARE(dialog.settings, makeAVSettings(3, 1, 1));
}

void TestSettingsDialog::dragging_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("drags");

    QTest::newRow("title label, left button") << "labelLogo" << int(Qt::LeftButton) << true;
    QTest::newRow("title strip, right button") << "widget_top" << int(Qt::RightButton) << true;
    QTest::newRow("body background") << "widget_bk" << int(Qt::LeftButton) << true;
    QTest::newRow("container label") << "label" << int(Qt::MiddleButton) << true;
    QTest::newRow("group box takes the press") << "groupBox" << int(Qt::LeftButton) << false;
    QTest::newRow("button takes the press") << "btnCancel" << int(Qt::LeftButton) << false;
}

void TestSettingsDialog::dragging()
{
    QFETCH(QString, target);
    QFETCH(int, button);
    QFETCH(bool, drags);

    CDlgAVSettings dialog(owner);
    dialog.setSettings(defaultRecord());
    auto *widget = dialog.findChild<QWidget *>(target);
    const auto mouseButton = static_cast<Qt::MouseButton>(button);
    const QPoint start = dialog.pos();
    const QPoint local(5, 5);
    const QPoint grip = widget->mapTo(&dialog, local);

    sendMouse(widget, QEvent::MouseButtonPress, local, widget->mapToGlobal(local), mouseButton);
    sendMouse(&dialog, QEvent::MouseMove, QPoint(), QPoint(300, 200), mouseButton);
    QCOMPARE(dialog.pos(), drags ? QPoint(300, 200) - grip : start);
    const QPoint dropped = dialog.pos();

    // After the release a move leaves the dialog where it is.
    sendMouse(&dialog, QEvent::MouseButtonRelease, QPoint(), QPoint(300, 200), mouseButton);
    sendMouse(&dialog, QEvent::MouseMove, QPoint(), QPoint(10, 10), Qt::NoButton);
    QCOMPARE(dialog.pos(), dropped);
}

void TestSettingsDialog::centredPosition_data()
{
    QTest::addColumn<QSize>("desktop");
    QTest::addColumn<QPoint>("corner");

    QTest::newRow("1920x1080") << QSize(1920, 1080) << QPoint(762, 315);
    QTest::newRow("odd sizes truncate") << QSize(1921, 1081) << QPoint(762, 315);
    QTest::newRow("800x600") << QSize(800, 600) << QPoint(202, 75);
    QTest::newRow("smaller than the dialog") << QSize(300, 400) << QPoint(-48, -25);
    QTest::newRow("negative halves truncate toward zero") << QSize(301, 401) << QPoint(-47, -24);
}

void TestSettingsDialog::centredPosition()
{
    QFETCH(QSize, desktop);
    QFETCH(QPoint, corner);

    QCOMPARE(::centredPosition(desktop.width(), desktop.height(), 396, 450), corner);

    // And the dialog really sits there on this platform's desktop.
    CDlgAVSettings dialog(owner);
    const QWidget *screen = QApplication::desktop();
    QCOMPARE(dialog.pos(), ::centredPosition(screen->width(), screen->height(), 396, 450));
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
