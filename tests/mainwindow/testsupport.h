#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QList>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTextEdit>
#include <QTimer>

#include "dlgmessage.h"
#include "processes.h"
#include "scripts.h"
#include "inputitem.h"
#include "inputrows.h"
#include "mainwindow.h"

// Answers the message dialogs the window opens, in order, and keeps their
// texts. Without a queued answer a dialog is confirmed with OK.
class DialogAnswerer : public QObject
{
public:
    DialogAnswerer()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, this, [this] { answerOpenDialog(); });
        timer.start();
    }

    QList<bool> answers;
    QStringList texts;

private:
    void answerOpenDialog()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<CDlgMessage *>(widget);
            if (!dialog || !dialog->isVisible() || dialog->property("answered").toBool())
                continue;
            dialog->setProperty("answered", true);
            texts << dialog->findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText();
            const bool ok = answers.isEmpty() ? true : answers.takeFirst();
            dialog->findChild<QPushButton *>(ok ? QStringLiteral("btnOk") : QStringLiteral("btnCancel"))
                ->click();
            return;
        }
    }

    QTimer timer;
};

// Picks files or a folder in the next Qt file dialog the window opens, by
// typing their names into its name field; an empty list cancels it.
inline void answerFileDialog(const QStringList &paths)
{
    QTimer::singleShot(20, [paths] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            answerFileDialog(paths);
            return;
        }
        if (paths.isEmpty()) {
            dialog->reject();
            return;
        }
        QStringList quoted;
        for (const QString &path : paths)
            quoted << QLatin1Char('"') + QFileInfo(path).fileName() + QLatin1Char('"');
        dialog->setDirectory(QFileInfo(paths.first()).absolutePath());
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(paths.size() == 1 ? QFileInfo(paths.first()).fileName()
                                        : quoted.join(QLatin1Char(' ')));
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// A stand-in for ffmpeg: prints what the real one prints at the points the
// converter looks at. `body` runs after the output path is known as $out.
inline QByteArray writeFakeTranscoder(const QString &dir, const QString &name, const QByteArray &body)
{
    return writeScript(dir, name, "out=\"\"\nfor a in \"$@\"; do out=$a; done\n" + body);
}

inline QByteArray succeedingBody()
{
    return "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
           "printf 'frame=1 time=00:00:10.00 bitrate=1\\r'\n"
           "printf 'converted' > \"$out\"\n"
           "printf '[libx264 @ 0x1] kb/s:100.00\\n'\n";
}

inline QByteArray failingBody()
{
    return "printf 'x: Invalid data found when processing input\\n'\nexit 1\n";
}

// Writes part of its output, then waits until it is killed.
inline QByteArray stallingBody()
{
    return "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
           "printf 'partial' > \"$out\"\n"
           "exec sleep 60\n";
}

inline void touch(const QString &path, const QByteArray &bytes = QByteArray("data"))
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

inline QListWidget *listOf(MainWindow &window)
{
    return window.findChild<QListWidget *>(QStringLiteral("listInput"));
}

inline InputItem *rowItem(MainWindow &window, int row)
{
    return InputRows::itemOf(listOf(window)->item(row));
}

inline QPushButton *buttonOf(MainWindow &window, const char *name)
{
    return window.findChild<QPushButton *>(QLatin1String(name));
}
