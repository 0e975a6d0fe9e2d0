#include "transcodeprocess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include "resultcodes.h"

namespace {

QByteArray executableAt(const QString &path)
{
    const QFileInfo info(path);
    if (info.isFile() && info.isExecutable())
        return QFile::encodeName(info.filePath());
    return {};
}

// Spaces outside double quotes separate the arguments; the quotes go.
QList<QByteArray> splitCommandLine(const QByteArray &line)
{
    QList<QByteArray> arguments;
    QByteArray current;
    bool inQuotes = false;
    bool inArgument = false;
    for (const char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            inArgument = true; // "" is an empty argument, not nothing
        } else if (c == ' ' && !inQuotes) {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments << current;
    return arguments;
}

} // namespace

QByteArray findProgram(const QByteArray &program)
{
    if (program.isEmpty())
        return {};
    const QString name = QFile::decodeName(program);
    if (program.contains('/'))
        return executableAt(name);

    // A transcoder shipped beside the converter wins over an installed one.
    if (QCoreApplication::instance()) {
        const QByteArray beside = executableAt(QCoreApplication::applicationDirPath() + '/' + name);
        if (!beside.isEmpty())
            return beside;
    }
    // Without PATH, the shells' usual default.
    const QByteArray path =
        qEnvironmentVariableIsSet("PATH") ? qgetenv("PATH") : QByteArrayLiteral("/usr/bin:/bin");
    const QList<QByteArray> dirs = path.split(':');
    for (const QByteArray &dir : dirs) {
        // An empty PATH entry means the current directory.
        const QString base = dir.isEmpty() ? QStringLiteral(".") : QFile::decodeName(dir);
        const QByteArray found = executableAt(base + '/' + name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

int TranscodeProcess::start(const QList<QByteArray> &arguments, int sharedFd)
{
    if (running || !reapChild())
        return ResultAlreadyRunning;
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return ResultInvalidArgument;
    const QByteArray path = findProgram(arguments.first());
    if (path.isEmpty())
        return ResultSpawnFailed;
    return spawn(path, arguments, sharedFd);
}

int TranscodeProcess::startCommandLine(const QString &commandLine)
{
    if (running || !reapChild())
        return ResultAlreadyRunning;
    if (commandLine.isEmpty())
        return ResultInvalidArgument;
    return start(splitCommandLine(commandLine.toUtf8()));
}

int TranscodeProcess::readOutput(char *buffer, int capacity, int *count)
{
    if (!running)
        return ResultNotRunning;
    if (!buffer || !count || capacity < 1)
        return ResultInvalidArgument;
    return readAvailable(buffer, capacity, count);
}
