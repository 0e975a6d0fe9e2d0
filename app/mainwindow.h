#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QString>

#include "avsettings.h"
#include "configfile.h"
#include "ui_mainwindow.h"

class BatchEndAction;
class CDlgMessage;
class ConversionQueue;
class FileManager;
class InputItem;
class InputRows;
class QListWidgetItem;
class QueueKeeper;
class RowMenu;
class RunPresence;
class vlcplayer;

// The one main window: frameless, fixed at 800 x 510, with its own title
// strip. It owns the input list and the conversion queue that converts it,
// the settings bar and the preview player, and wires them to the form.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    enum MainState {
        MainStateEmpty = 0,
        MainStateReady = 1,
        MainStateConverting = 2,
    };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void setMainState(int state);
    // Lists one file (UTF-8 path): 0, or -1 when it is missing, not a video
    // type the converter takes, already listed, or refused by its job.
    int addInputFile(const QByteArray &path);
    // The free space a job needs in the output folder; by default it
    // follows the source's size (tests set a fixed figure).
    void setFreeSpaceFloor(qint64 bytes);
    // Lists dropped, handed-over or command-line paths, folders expanded;
    // during a run they join it, waiting.
    void addInputPaths(const QStringList &paths);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void btnConvertStart_clicked();
    void btnOutputDir_clicked();
    void btnOutputDir2_clicked();
    void btnQualitySettings_clicked();
    void btnInputFile_clicked();
    void btnInputClear_clicked();
    void paramVcChanged(int);
    void paramVqlChanged(int);
    void paramAqlChanged(int);
    void ItemDClicked(QListWidgetItem *item);
    void curItemChanged(QListWidgetItem *current, QListWidgetItem *previous);
    void applyAllChanged(int);
    void ItemConvertDone(InputItem *item);
    void ItemDelete(InputItem *item);
    void convertAgain(InputItem *item);
    void on_btnCompanyUrl_clicked();
    void on_btnQqUrl_clicked();
    void on_btnTopMin_clicked();
    void on_btnTopClose_clicked();

private:
    void initConfig();
    void initUi();
    void initConnect();

    int loadConfig(QString &dir) const;
    int saveConfig(const QString &dir) const;
    void setOutputDirectory(const QString &dir);

    bool isInputExtension(const QByteArray &extension) const;
    InputItem *listFile(const QByteArray &path, const AVSettings &settings, bool absent = false);
    void restoreList();
    InputItem *itemAt(int row) const;
    InputItem *currentItem() const;
    void removeRows(const QList<InputItem *> &items);
    void setAllSettings(const AVSettings &settings);
    void setRowSettings(InputItem *item, const AVSettings &settings);
    void showRowsListed();

    void startQueue();
    void stopQueue(bool summary);
    void showSummary();
    void runEnded(int reason);
    void showBatchProgress();
    void showPaused(bool paused);
    void showPauseButton(bool paused);
    void btnConvertPause_clicked();
    void endForSignal(int signal);

    void pushSettings();
    void refreshParamCombos();
    void showParamCombos();
    // Says beside the quality what the bar's combos do not show.
    void showCustomised();

    bool ask(const QString &text);
    void tell(const QString &text);

    Ui::MainWindowClass ui;
    bool converting = false;
    AVSettings defaultSettings{};
    AVSettings currentSettings{};
    vlcplayer *player = nullptr;
    QString videosDir;
    ConfigFile config;
    // Where the add-videos dialog opens: the folder it last added from.
    QString inputDialogDir;
    bool dragging = false;
    QPoint pressPos;
    // The listed sources, so that adding a file does not walk every row.
    QSet<QByteArray> listedPaths;
    // The open "确认取消？" question, closed when the run ends by itself.
    QPointer<CDlgMessage> cancelQuestion;
    RunPresence *presence = nullptr;
    InputRows *rows = nullptr;
    RowMenu *rowMenu = nullptr;
    FileManager *fileManager = nullptr;
    ConversionQueue *queue = nullptr;
    QueueKeeper *keeper = nullptr;
    BatchEndAction *endAction = nullptr;
    // The output folder conf_main.json names, when it is not there: said
    // once, at the next start of a batch.
    QString missingOutputDir;
};
