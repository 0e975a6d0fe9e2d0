#pragma once

#include <QObject>
#include <QString>

class InputItem;
class QListWidget;
class QPoint;

// The input list's context menu: a finished row's result one click away
// ("播放转换结果", "打开所在文件夹") and "重新转码" for a row that has ended.
// It offers only what applies to the row and says what was chosen; the
// window acts on it.
class RowMenu final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowMenu)

public:
    explicit RowMenu(QListWidget *list);

signals:
    void playRequested(const QString &path);
    void folderRequested(const QString &path);
    void convertAgainRequested(InputItem *item);

private:
    void popUp(const QPoint &pos);

    QListWidget *list;
};
