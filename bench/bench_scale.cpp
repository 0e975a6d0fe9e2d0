// Lists 1,000 files through MainWindow::addInputFile, lets the list lay out
// and paint, then clears it with the clear button: times and resident
// memory. Usage: bench_scale [files] [rounds] (defaults 1000 and 5).
#include <QDir>
#include <QTemporaryDir>

#include "benchsupport.h"
#include "mainwindow.h"
#include "testsupport.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? atoi(argv[1]) : 1000;
    const int rounds = argc > 2 ? atoi(argv[2]) : 5;

    QTemporaryDir work;
    qputenv("HOME", work.path().toUtf8());
    QDir::setCurrent(work.path());
    QList<QByteArray> paths;
    for (int i = 0; i < files; ++i) {
        const QString path = work.filePath(QStringLiteral("clip %1.mp4").arg(i, 4, 10, QLatin1Char('0')));
        touch(path);
        paths << path.toUtf8();
    }

    MainWindow window;
    window.show();
    QApplication::processEvents();
    const double baseKb = statusKilobytes("VmRSS");
    QElapsedTimer clock;
    clock.start();
    ShowAnswerer answerer(clock);

    std::vector<double> addMs, shownMs, clearMs, rssAfterClear;
    double peakGrowthKb = 0;
    // Round 0 warms up and is not counted.
    for (int round = 0; round <= rounds; ++round) {
        QElapsedTimer t;
        t.start();
        for (const QByteArray &path : paths) {
            if (window.addInputFile(path) != 0)
                return 1;
        }
        const double added = t.nsecsElapsed() / 1e6;
        window.setMainState(MainWindow::MainStateReady);
        QApplication::processEvents();
        const double shown = t.nsecsElapsed() / 1e6;
        peakGrowthKb = std::max(peakGrowthKb, statusKilobytes("VmRSS") - baseKb);

        t.restart();
        buttonOf(window, "btnInputClear")->click();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        const double cleared = t.nsecsElapsed() / 1e6;
        if (listOf(window)->count() != 0)
            return 1;
        if (round == 0)
            continue;
        addMs.push_back(added);
        shownMs.push_back(shown);
        clearMs.push_back(cleared);
        rssAfterClear.push_back(statusKilobytes("VmRSS") - baseKb);
    }

    std::printf("rows: %d, rounds: %d (after one warm-up)\n", files, rounds);
    std::printf("add (addInputFile loop):      median %8.1f ms\n", median(addMs));
    std::printf("add and first paint:          median %8.1f ms\n", median(shownMs));
    std::printf("clear (button, rows deleted): median %8.1f ms\n", median(clearMs));
    std::printf("resident memory: %.1f MB with the empty window, peak %.1f MB (VmHWM), "
                "%.1f MB more with the rows listed\n",
                baseKb / 1024, statusKilobytes("VmHWM") / 1024, peakGrowthKb / 1024);
    std::printf("resident growth after each clear (MB):");
    for (double kb : rssAfterClear)
        std::printf(" %.1f", kb / 1024);
    std::printf("\n");
    return 0;
}
