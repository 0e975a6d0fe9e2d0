#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include "picturescale.h"
#include "styleconstants.h"

namespace {

using Rows = std::pair<int, int>; // first and last row, inclusive

struct Picture
{
    const char *name;
    int width;
    int height;
    std::vector<Rows> states; // empty: a single picture, used whole
};

const QString prefix = QStringLiteral(":/images/images/");

// The pictures of the collection with the rows that each state of a strip
// occupies, as the offsets of the sheets and constants cut them.
const std::vector<Picture> &pictures()
{
    const std::vector<Rows> player = {{0, 24}, {32, 56}, {64, 88}};
    const std::vector<Rows> bottom = {{1, 22}, {30, 51}, {59, 80}};
    const std::vector<Rows> face = {{0, 31}, {49, 80}, {98, 129}};
    const std::vector<Rows> convert = {{0, 58}, {73, 131}, {146, 204}};
    static const std::vector<Picture> list = {
        {"main_top_logo.png", 25, 25, {}},
        {"main_top_min_.png", 18, 57, {{0, 16}, {20, 36}, {40, 56}}},
        {"main_top_close_.png", 18, 58, {{0, 17}, {20, 37}, {40, 57}}},
        {"main_stack_teach.png", 467, 295, {}},
        {"main_video_add.png", 100, 130, face},
        {"main_video_clear.png", 100, 130, face},
        {"main_cbox_arrowdown.png", 15, 15, {}},
        {"main_applyall.png", 14, 36, {{0, 13}, {22, 35}}},
        {"main_bottom_settng.png", 25, 82, bottom},
        {"main_bottom_dir.png", 25, 82, bottom},
        {"main_bottom_dir2.png", 25, 82, bottom},
        {"main_convert_start.png", 310, 205, convert},
        {"main_convert_stop.png", 310, 205, convert},
        {"main_convert_disable.png", 310, 59, {}},
        {"main_convert_pause.png", 24, 89, player},
        {"main_convert_resume.png", 24, 89, player},
        {"MOVIE.png", 616, 460, {}},
        {"record_start.png", 24, 89, player},
        {"record_pause.png", 24, 89, player},
        {"record_end.png", 24, 89, player},
        {"main_bottom_muteaudio.png", 24, 89, player},
        {"vlc_slider_video.png", 18, 18, {}},
        {"vlc_slider_audio.png", 18, 18, {}},
        {"history_item.png", 47, 34, {}},
        {"watermark_del.png", 28, 28, {}},
        {"warning.png", 108, 108, {}},
    };
    return list;
}

// The file Qt draws from on a screen of twice the density.
QString atScale(const QString &path, int scale)
{
    return scale == 1 ? path : QString(path).replace(QStringLiteral(".png"), QStringLiteral("@2x.png"));
}

// Rows first..last at 1x are rows 2 first..2 last + 1 at 2x.
std::vector<Rows> statesAt(const std::vector<Rows> &states, int scale)
{
    std::vector<Rows> scaled;
    for (const Rows &rows : states)
        scaled.emplace_back(rows.first * scale, (rows.second + 1) * scale - 1);
    return scaled;
}

const Picture *findPicture(const QString &path)
{
    for (const Picture &picture : pictures()) {
        if (prefix + QLatin1String(picture.name) == path)
            return &picture;
    }
    return nullptr;
}

// The texts that name pictures: the five sheets, read as the program reads
// them, and the five constants that switch two buttons.
QStringList sheetTexts()
{
    QStringList texts;
    for (const char *sheet : {"MainWindow", "DlgAVSettings", "DlgMessage", "InputItem", "vlcplayer"}) {
        QFile file(QStringLiteral(":/qss/css/%1.css").arg(QLatin1String(sheet)));
        if (file.open(QIODevice::ReadOnly))
            texts << QString::fromLatin1(file.readAll());
    }
    return texts;
}

QStringList constantTexts()
{
    return {QLatin1String(convertDisableStyle), QLatin1String(convertStartStyle),
            QLatin1String(convertStopStyle), QLatin1String(convertPauseStyle),
            QLatin1String(convertResumeStyle), QLatin1String(playerPlayStyle),
            QLatin1String(playerPauseStyle)};
}

// url(...) with the four optional offsets of border-image.
const QRegularExpression urlRule(
    QStringLiteral(R"(url\(([^)]*)\)\s*(?:(\d+)\s+(\d+)\s+(\d+)\s+(\d+))?)"));

bool rowTransparent(const QImage &image, int y)
{
    for (int x = 0; x < image.width(); ++x) {
        if (qAlpha(image.pixel(x, y)) != 0)
            return false;
    }
    return true;
}

QString colourClass(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    if (qAlpha(pixel) < 200)
        return QStringLiteral("clear");
    if (r > 235 && g > 235 && b > 235)
        return QStringLiteral("white");
    if (g > r + 50 && g > b + 20)
        return QStringLiteral("green");
    if (r > g + 60 && r > b + 60)
        return QStringLiteral("red");
    if (r > 200 && g > 140 && b < 120)
        return QStringLiteral("yellow");
    if (qMax(r, qMax(g, b)) - qMin(r, qMin(g, b)) < 24)
        return r < 100 ? QStringLiteral("dark") : QStringLiteral("grey");
    return QStringLiteral("other");
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void referencedPictures_data();
    void referencedPictures();
    void everyPictureIsUsed();
    void scaledCuts_data();
    void scaledCuts();
    void sizes_data();
    void sizes();
    void stateRows_data();
    void stateRows();
    void colours_data();
    void colours();
    void icon();
};

void TestPictures::referencedPictures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("scale");
    const QStringList texts = sheetTexts() + constantTexts();
    QCOMPARE(texts.size(), 12);
    const char *names[] = {"MainWindow.css", "DlgAVSettings.css", "DlgMessage.css",
                           "InputItem.css", "vlcplayer.css", "convertDisableStyle",
                           "convertStartStyle", "convertStopStyle", "convertPauseStyle",
                           "convertResumeStyle", "playerPlayStyle", "playerPauseStyle"};
    for (int scale : {1, 2}) {
        for (int i = 0; i < texts.size(); ++i)
            QTest::addRow("%s at %dx", names[i], scale) << texts.at(i) << scale;
    }
}

// Every picture a rule names exists, and the rows the rule cuts out are
// exactly one state of it (or the whole of a single picture); at 2x the
// rules as the program sets them cut the same state out of the @2x file.
void TestPictures::referencedPictures()
{
    QFETCH(QString, text);
    QFETCH(int, scale);
    text = scaleSheetCuts(text, scale);
    int rules = 0;
    auto it = urlRule.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString path = atScale(match.captured(1), scale);
        ++rules;
        QVERIFY2(QFile::exists(path), qPrintable(path));
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        const Picture *picture = findPicture(match.captured(1));
        QVERIFY2(picture, qPrintable(path));

        Rows cut(0, image.height() - 1);
        if (match.capturedStart(2) >= 0) {
            const int top = match.captured(2).toInt(), right = match.captured(3).toInt();
            const int bottom = match.captured(4).toInt(), left = match.captured(5).toInt();
            QCOMPARE(left, 0);
            QCOMPARE(right, 0);
            cut = Rows(top, image.height() - bottom - 1);
        }
        const std::vector<Rows> allowed = statesAt(
            picture->states.empty() ? std::vector<Rows>{Rows(0, picture->height - 1)} : picture->states,
            scale);
        QVERIFY2(std::find(allowed.begin(), allowed.end(), cut) != allowed.end(),
                 qPrintable(QStringLiteral("%1 cut at rows %2-%3").arg(path).arg(cut.first).arg(cut.second)));
    }
    QVERIFY(rules > 0);
}

void TestPictures::everyPictureIsUsed()
{
    QSet<QString> named;
    for (const QString &text : sheetTexts() + constantTexts()) {
        auto it = urlRule.globalMatch(text);
        while (it.hasNext())
            named.insert(it.next().captured(1));
    }
    QSet<QString> collection;
    for (const QString &file : QDir(prefix).entryList(QDir::Files))
        collection.insert(prefix + file);
    // The icon is the window's, set by code rather than by a sheet.
    QVERIFY(collection.remove(prefix + QStringLiteral("main.ico")));
    // Every picture has its @2x file and only pictures have one.
    for (const QString &path : QSet<QString>(collection)) {
        if (path.endsWith(QLatin1String("@2x.png")))
            continue;
        QVERIFY2(collection.remove(atScale(path, 2)), qPrintable(path));
    }
    QCOMPARE(collection.size(), 26);
    QCOMPARE(named, collection);
}

void TestPictures::scaledCuts_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("expected");
    const QString close = QStringLiteral("url(:/images/images/main_top_close_.png)");
    QTest::newRow("offsets doubled, spacing kept")
        << "a{border-image:" + close + " 20 0  20 0 ;}" << "a{border-image:" + close + " 40 0  40 0 ;}";
    QTest::newRow("every rule of a sheet")
        << "a{border-image: " + close + " 0 0 40 0;}b{border-image:" + close + " 40 0 0 0;}"
        << "a{border-image: " + close + " 0 0 80 0;}b{border-image:" + close + " 80 0 0 0;}";
    QTest::newRow("whole picture")
        << "a{border-image: url(:/images/images/warning.png);}"
        << "a{border-image: url(:/images/images/warning.png);}";
    // Qt draws a picture without an @2x file from itself: its offsets fit.
    QTest::newRow("no @2x file")
        << "a{border-image: url(:/images/images/main.ico) 0 0 16 0;}"
        << "a{border-image: url(:/images/images/main.ico) 0 0 16 0;}";
    QTest::newRow("other numbers")
        << "a{font-size:12px; border: 1px solid; border-image: " + close + " 0 0 40 0; margin: 3px;}"
        << "a{font-size:12px; border: 1px solid; border-image: " + close + " 0 0 80 0; margin: 3px;}";
}

void TestPictures::scaledCuts()
{
    QFETCH(QString, sheet);
    QFETCH(QString, expected);
    QCOMPARE(scaleSheetCuts(sheet, 2), expected);
    QCOMPARE(scaleSheetCuts(sheet, 1), sheet);
}

void TestPictures::sizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (int scale : {1, 2}) {
        for (const Picture &picture : pictures())
            QTest::addRow("%s at %dx", picture.name, scale)
                << atScale(prefix + QLatin1String(picture.name), scale)
                << QSize(picture.width, picture.height) * scale;
    }
}

void TestPictures::sizes()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.size(), size);
    QVERIFY(!reader.read().isNull());
}

void TestPictures::stateRows_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QVector<int>>("bounds");
    for (int scale : {1, 2}) {
        for (const Picture &picture : pictures()) {
            if (picture.states.empty())
                continue;
            QVector<int> bounds;
            for (const Rows &rows : statesAt(picture.states, scale))
                bounds << rows.first << rows.second;
            QTest::addRow("%s at %dx", picture.name, scale)
                << atScale(prefix + QLatin1String(picture.name), scale) << bounds;
        }
    }
}

// The rows between and around the states are clear, so no state shows a
// sliver of its neighbour when cut; each state is drawn and looks different
// from the others, so the button gives feedback.
void TestPictures::stateRows()
{
    QFETCH(QString, path);
    QFETCH(QVector<int>, bounds);
    const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());

    for (int y = 0; y < image.height(); ++y) {
        bool inState = false;
        for (int i = 0; i < bounds.size(); i += 2)
            inState = inState || (y >= bounds[i] && y <= bounds[i + 1]);
        if (!inState)
            QVERIFY2(rowTransparent(image, y), qPrintable(QStringLiteral("row %1").arg(y)));
    }

    QList<QImage> states;
    for (int i = 0; i < bounds.size(); i += 2) {
        const QImage state = image.copy(0, bounds[i], image.width(), bounds[i + 1] - bounds[i] + 1);
        bool drawn = false;
        for (int y = 0; y < state.height() && !drawn; ++y)
            drawn = !rowTransparent(state, y);
        QVERIFY2(drawn, qPrintable(QStringLiteral("state %1 is empty").arg(i / 2)));
        for (const QImage &other : states)
            QVERIFY2(state != other, qPrintable(QStringLiteral("state %1 repeats").arg(i / 2)));
        states << state;
    }
}

void TestPictures::colours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("expected");

    // Each spot at 1x and, at twice the coordinates, in the @2x file.
    auto row = [](const char *tag, const char *name, QPoint at, const char *expected) {
        for (int scale : {1, 2}) {
            QTest::addRow("%s at %dx", tag, scale)
                << atScale(QString::fromLatin1(name), scale) << at * scale
                << QString::fromLatin1(expected);
        }
    };
    row("start normal", "main_convert_start.png", {155, 29}, "green");
    row("start hover", "main_convert_start.png", {155, 102}, "green");
    row("start pressed", "main_convert_start.png", {155, 175}, "green");
    row("stop normal", "main_convert_stop.png", {155, 29}, "red");
    row("stop hover", "main_convert_stop.png", {155, 102}, "red");
    row("stop pressed", "main_convert_stop.png", {155, 175}, "red");
    row("disabled", "main_convert_disable.png", {155, 29}, "grey");
    row("add face normal", "main_video_add.png", {60, 16}, "white");
    row("add sign normal", "main_video_add.png", {19, 12}, "dark");
    row("add face hover", "main_video_add.png", {60, 65}, "green");
    row("add sign hover", "main_video_add.png", {19, 61}, "white");
    row("add face pressed", "main_video_add.png", {60, 114}, "green");
    row("clear face normal", "main_video_clear.png", {60, 16}, "white");
    row("clear face hover", "main_video_clear.png", {60, 65}, "green");
    row("clear face pressed", "main_video_clear.png", {60, 114}, "green");
    row("close normal", "main_top_close_.png", {9, 9}, "white");
    row("close hover", "main_top_close_.png", {9, 29}, "white");
    row("close pressed", "main_top_close_.png", {9, 49}, "red");
    row("box unchecked", "main_applyall.png", {7, 7}, "white");
    row("tick", "main_applyall.png", {6, 31}, "green");
    row("play", "record_start.png", {12, 12}, "green");
    row("pause", "record_pause.png", {9, 12}, "red");
    row("folder", "main_bottom_dir.png", {12, 14}, "yellow");
    row("open folder", "main_bottom_dir2.png", {12, 16}, "green");
    row("waste bin", "watermark_del.png", {9, 16}, "green");
    row("exclamation mark", "warning.png", {54, 40}, "green");
    row("warning circle", "warning.png", {54, 10}, "grey");
}

// Spot checks that each picture is what its button stands for.
void TestPictures::colours()
{
    QFETCH(QString, name);
    QFETCH(QPoint, at);
    QFETCH(QString, expected);
    const QImage image(prefix + name);
    QVERIFY(image.rect().contains(at));
    QCOMPARE(colourClass(image.pixel(at)), expected);
}

void TestPictures::icon()
{
    const QString path = prefix + QStringLiteral("main.ico");
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("ico"));
    QCOMPARE(reader.imageCount(), 9);
    std::set<int> sides;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        // A rounded plate: clear corners, an opaque middle.
        QVERIFY(qAlpha(image.pixel(0, 0)) < 128);
        QCOMPARE(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
        sides.insert(image.width());
    }
    QCOMPARE(sides, (std::set<int>{16, 24, 32, 48, 64, 72, 96, 128, 256}));

    // The window icon offers every size to the window system.
    const QList<QSize> offered = QIcon(path).availableSizes();
    QCOMPARE(offered.size(), 9);
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
