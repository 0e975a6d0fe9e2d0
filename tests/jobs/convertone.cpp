// Measuring tool for bench/jobs_noisy.sh, not a test: converts one file
// through an InputItem with the default settings and prints the seconds it
// took, or damages an MPEG-TS file in place.
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include "avsettings.h"
#include "catalogue.h"
#include "damagedsource.h"
#include "inputitem.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.size() == 3 && args.at(1) == "damage")
        return damageTransportStream(args.at(2)) ? 0 : 1;
    if (args.size() != 4 || args.at(1) != "convert") {
        QTextStream(stderr) << "usage: jobs_convert_one damage FILE.ts | convert SOURCE OUTDIR\n";
        return 2;
    }

    initCatalogue();
    outputDir = args.at(3).toUtf8();
    InputItem item(nullptr);
    if (item.setInputFile(args.at(2).toUtf8(), makeAVSettings(0, 1, 1)) != 0)
        return 1;
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
