// Measuring tool for bench/jobs_noisy.sh, not a test: converts one file
// through an InputItem with the default settings (or another container and
// level for both picture and sound) and prints the seconds it took, or damages an MPEG-TS file in
// place.
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include "avsettings.h"
#include "catalogue.h"
#include "damagedsource.h"
#include "inputitem.h"
#include "mediaprobe.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.size() == 3 && args.at(1) == "damage")
        return damageTransportStream(args.at(2)) ? 0 : 1;
    if (args.size() < 4 || args.size() > 6 || args.at(1) != "convert") {
        QTextStream(stderr) << "usage: jobs_convert_one damage FILE.ts | convert SOURCE OUTDIR [CONTAINER [LEVEL]]\n";
        return 2;
    }

    initCatalogue();
    outputDir = args.at(3).toUtf8();
    InputItem item(nullptr);
    const int container = args.value(4, QStringLiteral("0")).toInt();
    const int level = args.value(5, QStringLiteral("1")).toInt();
    if (item.setInputFile(args.at(2).toUtf8(), makeAVSettings(container, level, level)) != 0)
        return 1;
    // As the window does once the file has been read behind the list.
    item.job()->setMedia(MediaProbe::read(args.at(2).toUtf8()));
    QElapsedTimer clock;
    QObject::connect(&item, &InputItem::ItemConvertDone, &app, [&] {
        out << QString::number(clock.elapsed() / 1000.0, 'f', 2) << ' ' << item.convertState()
            << ' ' << QString::fromUtf8(item.errorText()).simplified() << '\n';
        app.quit();
    });
    clock.start();
    const int code = item.startConvert();
    if (code != 0)
        return 1;
    return app.exec();
}
