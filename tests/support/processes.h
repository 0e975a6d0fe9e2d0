#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <unistd.h>

struct ChildProcess
{
    int pid;
    char state;
};

// Every process whose parent is `parent`, with its state letter, read from
// /proc.
inline QList<ChildProcess> processesOf(int parent)
{
    QList<ChildProcess> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const int close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (close < 0 || fields.size() < 2)
            continue;
        if (fields.at(1).toInt() == parent)
            children << ChildProcess{pid, fields.at(0).isEmpty() ? '?' : fields.at(0).at(0)};
    }
    return children;
}

// The direct children of this process.
inline QList<ChildProcess> childProcesses()
{
    return processesOf(getpid());
}

// The children of another process.
inline QList<int> childrenOf(int parent)
{
    QList<int> children;
    for (const ChildProcess &child : processesOf(parent))
        children << child.pid;
    return children;
}

// Alive and not a zombie waiting to be collected.
inline bool isLiveProcess(int pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() && line.at(close + 2) != 'Z'
           && line.at(close + 2) != 'X';
}

inline int zombieChildren()
{
    int zombies = 0;
    for (const ChildProcess &child : childProcesses())
        zombies += child.state == 'Z';
    return zombies;
}

inline bool hasChildProcesses()
{
    return !childProcesses().isEmpty();
}
