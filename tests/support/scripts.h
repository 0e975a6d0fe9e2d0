#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes an executable shell script; returns its path as UTF-8.
inline QByteArray writeScript(const QString &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir + '/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write("#!/bin/sh\n" + body + '\n');
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path.toUtf8();
}
