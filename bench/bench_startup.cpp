// The program's own start-up, as main() does it, timed from the moment the
// caller launched the process (its CLOCK_REALTIME in nanoseconds, the first
// argument) to the first painted frame of the main window.
#include <QPaintEvent>

#include <ctime>

#include "benchsupport.h"
#include "fonts.h"
#include "mainwindow.h"

namespace {

qint64 realtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

class FirstPaint final : public QObject
{
public:
    explicit FirstPaint(qint64 launchedNs) : launchedNs(launchedNs) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            // After the frame has been handed to the display.
            QTimer::singleShot(0, [this] {
                std::printf("%.1f\n", (realtimeNs() - launchedNs) / 1e6);
                QApplication::quit();
            });
        }
        return false;
    }

private:
    qint64 launchedNs;
    bool seen = false;
};

} // namespace

int main(int argc, char *argv[])
{
    const qint64 launchedNs = argc > 1 ? QByteArray(argv[1]).toLongLong() : realtimeNs();
    QApplication application(argc, argv);
    installFontSubstitutes();
    FirstPaint probe(launchedNs);
    MainWindow window;
    window.installEventFilter(&probe);
    window.show();
    return application.exec();
}
