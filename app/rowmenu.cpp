#include "rowmenu.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPointer>

#include "inputitem.h"
#include "inputrows.h"

RowMenu::RowMenu(QListWidget *list)
    : QObject(list), list(list)
{
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QListWidget::customContextMenuRequested, this, &RowMenu::popUp);
}

void RowMenu::popUp(const QPoint &pos)
{
    const QPointer<InputItem> item = InputRows::itemOf(list->itemAt(pos));
    if (!item)
        return;
    const int state = item->convertState();
    if (state == ConvertWaiting || state == ConvertRunning)
        return;
    // A child of the list, so that it takes the window's sheet.
    auto *menu = new QMenu(list);
    menu->setObjectName(QStringLiteral("rowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (state == ConvertDone) {
        const QString output = QString::fromUtf8(item->outputPath());
        // The file may have been moved or deleted since.
        const bool there = QFileInfo::exists(output);
        QAction *play = menu->addAction(QStringLiteral("播放转换结果"), this,
                                        [this, output] { emit playRequested(output); });
        play->setEnabled(there);
        QAction *folder = menu->addAction(QStringLiteral("打开所在文件夹"), this,
                                          [this, output] { emit folderRequested(output); });
        folder->setEnabled(QFileInfo(output).absoluteDir().exists());
        menu->addSeparator();
    }
    menu->addAction(QStringLiteral("重新转码"), this, [this, item] {
        if (item)
            emit convertAgainRequested(item);
    });
    menu->popup(list->viewport()->mapToGlobal(pos));
}
