#include "fonts.h"

#include <QApplication>
#include <QFont>
#include <QString>

void installFontSubstitutes()
{
    const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
    // Text the sheets leave alone uses the same face, as on Windows, where
    // the desktop font is the Chinese one.
    QApplication::setFont(QFont(cjk, 9));
    QFont::insertSubstitution(QStringLiteral("Microsoft YaHei"), cjk);
    QFont::insertSubstitution(QStringLiteral("微软雅黑"), cjk);
    // The sheets are read as Latin-1, so "微软雅黑" reaches the font matcher
    // as the Latin-1 reading of its UTF-8 bytes.
    QFont::insertSubstitution(QString::fromLatin1(QStringLiteral("微软雅黑").toUtf8()), cjk);
    QFont::insertSubstitution(QStringLiteral("SimSun"), cjk);
}
