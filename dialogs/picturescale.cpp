#include "picturescale.h"

#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QString>
#include <QWidget>

namespace {

QString doubleDensityName(const QString &path)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? path + QStringLiteral("@2x")
                   : path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
}

// "0 0 40 0" becomes "0 0 80 0" at scale 2, spacing kept.
QString scaleNumbers(const QString &text, int scale)
{
    static const QRegularExpression number(QStringLiteral(R"(\d+)"));
    QString scaled;
    int done = 0;
    auto it = number.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        scaled += text.mid(done, match.capturedStart() - done);
        scaled += QString::number(match.captured().toInt() * scale);
        done = match.capturedEnd();
    }
    return scaled + text.mid(done);
}

} // namespace

int pictureScaleOf(const QWidget *widget)
{
    // The same ratio and the same switch Qt consults when it picks the file.
    if (!qEnvironmentVariableIsEmpty("QT_HIGHDPI_DISABLE_2X_IMAGE_LOADING"))
        return 1;
    qreal ratio = qGuiApp->devicePixelRatio();
    if (const QScreen *screen = QGuiApplication::screenAt(widget->mapToGlobal(QPoint(0, 0))))
        ratio = screen->devicePixelRatio();
    return ratio > 1.0 ? 2 : 1;
}

QString scaleSheetCuts(const QString &sheet, int scale)
{
    if (scale == 1)
        return sheet;
    // border-image: url(PATH) followed by one to four offsets.
    static const QRegularExpression rule(QStringLiteral(
        R"re((border-image\s*:\s*url\(\s*["']?([^)"'\s]+)["']?\s*\))((?:\s+\d+){1,4}))re"));
    QString scaled;
    int done = 0;
    auto it = rule.globalMatch(sheet);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (!QFile::exists(doubleDensityName(match.captured(2))))
            continue;
        scaled += sheet.mid(done, match.capturedStart(3) - done);
        scaled += scaleNumbers(match.captured(3), scale);
        done = match.capturedEnd(3);
    }
    return scaled + sheet.mid(done);
}

void setScaledStyleSheet(QWidget *widget, const QString &sheet)
{
    widget->setStyleSheet(scaleSheetCuts(sheet, pictureScaleOf(widget)));
}
