#include <QApplication>
#include <QDesktopWidget>
#include <QTest>

#include "dlgmessage.h"

// Runs on a 1920 x 1080 X server, where the desktop size is real.
class TestMessageDialogPlacement : public QObject
{
    Q_OBJECT

private slots:
    void centredOnFullHdDesktop()
    {
        QCOMPARE(QApplication::desktop()->size(), QSize(1920, 1080));
        CDlgMessage dialog(nullptr, 1, QStringLiteral("text"));
        QCOMPARE(dialog.pos(), QPoint(790, 434));
    }
};

QTEST_MAIN(TestMessageDialogPlacement)
#include "tst_messagedialog_placement.moc"
