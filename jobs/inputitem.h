#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QWidget>

#include <vector>

#include "avsettings.h"
#include "outputparser.h"
#include "transcodecommand.h"
#include "transcodeprocess.h"
#include "ui_inputitem.h"

class QTimer;

// Job states, the values convertState() returns.
enum ConvertStateCode : int {
    ConvertWaiting = 0,
    ConvertRunning = 1,
    ConvertDone = 2,
    ConvertCancelled = 3,
    ConvertError = 4,
};

// One row of the input list and the conversion job of its file: it owns the
// file's settings, the transcoder child and the parse state of its output,
// and drives the job from a 200 ms poll.
class InputItem final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InputItem)

public:
    explicit InputItem(QWidget *parent = nullptr);
    // A transcoder still running is killed: it never outlives its row.
    ~InputItem() override;

    // Binds the row to a file: 0, or -202 when no file is there (nothing
    // changes then).
    int setInputFile(const QByteArray &path, const AVSettings &settings);
    // 0; -103 while this row's child is alive; otherwise the start's code.
    int startConvert();
    // The same with another output path; the queue uses it so that two jobs
    // of one run never write the same file.
    int startConvert(const QByteArray &outputPath);
    // Where the next startConvert() writes: the output folder, the prefix,
    // the base name and the container's extension.
    QByteArray plannedOutputPath() const;
    // 0, or 102 for a done job, which stays done.
    int stopConvert();
    int convertState() const { return state; }

    // Changes take effect at the next start.
    AVSettings &settings() { return command.settings; }
    const QByteArray &inputPath() const { return sourcePath; }
    const QByteArray &outputPath() const { return targetPath; }
    const QByteArray &errorText() const { return parser.errorText; }

    // Runs this row's jobs with another program (a path containing '/' is
    // used as given). The converter itself never calls it; tests use it to
    // put a fake transcoder behind one row.
    void setTranscoderProgram(const QByteArray &program) { programOverride = program; }

signals:
    void ItemConvertDone(InputItem *item);
    void ItemDelete(InputItem *item);

private slots:
    void onTimer();
    void btnDel_clicked();

private:
    void setState(int code);
    void drainOutput();
    void showProgress(int value);
    void endJob();

    Ui::InputItem ui;
    TranscodeCommand command;
    TranscodeProcess process;
    std::vector<char> chunk;
    QTimer *pollTimer;
    OutputParser parser;
    int state = ConvertWaiting;
    // The child has closed its output; the job ends once it has exited.
    bool outputEnded = false;
    QByteArray baseName;
    QByteArray sourceExtension;
    QByteArray sourcePath;
    QByteArray targetPath;
    QByteArray programOverride;
};

Q_DECLARE_METATYPE(InputItem *)
