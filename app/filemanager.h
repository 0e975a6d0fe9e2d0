#pragma once

#include <QObject>
#include <QString>

// Shows a file in the desktop's file manager: selected in its folder where
// the file manager offers org.freedesktop.FileManager1, otherwise its folder
// opened as any folder is. The call is never waited for.
class FileManager final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileManager)

public:
    explicit FileManager(QObject *parent = nullptr);

    void showFile(const QString &path);
};
