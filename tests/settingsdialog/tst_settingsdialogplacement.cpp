#include <QtTest>

#include <QApplication>
#include <QDesktopWidget>

#include "catalogue.h"
#include "dlgavsettings.h"
#include "waits.h"

// Runs on a real X server with a 1920x1080 screen.
class TestSettingsDialogPlacement final : public QObject
{
    Q_OBJECT

private slots:
    void centredOnFullHdDesktop();
};

void TestSettingsDialogPlacement::centredOnFullHdDesktop()
{
    QCOMPARE(QApplication::desktop()->size(), QSize(1920, 1080));
    initCatalogue();
    CDlgAVSettings dialog(nullptr);
    dialog.setSettings(makeAVSettings(0, 1, 1));
    QVERIFY(QTest::qWaitForWindowExposed(&dialog, processWaitMs));
    QCOMPARE(dialog.pos(), QPoint(762, 315));
    QCOMPARE(dialog.frameGeometry().topLeft(), QPoint(762, 315));
}

QTEST_MAIN(TestSettingsDialogPlacement)
#include "tst_settingsdialogplacement.moc"
