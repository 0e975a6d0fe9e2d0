#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// What a program printed on each channel, and whether it exited by itself
// with status 0.
struct ProgramRun
{
    bool ok = false;
    QByteArray output;
    QByteArray errors;
};

// Runs a program to its end, two minutes at the most, its input on
// /dev/null.
inline ProgramRun runProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    ProgramRun result;
    result.ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
                && process.exitCode() == 0;
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}
