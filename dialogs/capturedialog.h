#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class CaptureDialog;
}

// Still-frame capture settings: the folder and base name of the capture files, the date/time option and
// the video path to grab (sensor or HDMI). Pressing Capture only emits startCapture; the main window sends
// the command, collects the uploaded buffers and builds the file names with MakeFileName.
class CaptureDialog : public QDialog
{
    Q_OBJECT

public:
    // Capture codes: the path a capture grabs (startCapture's argument and the capture command's value), and
    // what the device reports on its "capture" status besides: done, failed. The main window's capture state
    // is one of the paths, or kNoCapture.
    static constexpr int kNoCapture = 0;
    static constexpr int kCaptureSensor = 1;
    static constexpr int kCaptureHdmi = 2;
    static constexpr int kCaptureDone = 0;
    static constexpr int kCaptureFailed = 255;

    explicit CaptureDialog(QWidget* parent = nullptr);
    ~CaptureDialog() override;

    // Shows m_sBaseFileName and m_sPath; the default-name box locks the name to "capture.tiff".
    void UpdateFields();
    // Prepares a run of the dialog: the sensor path is offered only when bDisabled is false, and Capture
    // is available again.
    void SetLdrDisabled(bool bDisabled);
    // Capture file name without extension: <path>/<base name>_<suffix>[_<time stamp>].
    QString MakeFileName(QString sSuffix);

signals:
    void startCapture(int muxsel);

protected:
    // Asks the user for the capture folder; an empty result means cancelled.
    virtual QString ChooseFolder();

private slots:
    void on_captureButton_clicked();
    void on_pathPushButton_clicked();
    void on_baseFileNameLineEdit_textEdited(QString arg1);
    void on_defaultNameCheckBox_clicked(bool checked);

private:
    Ui::CaptureDialog* ui;
    QString m_sPath;
    QString m_sBaseFileName;
    QString m_sTimeStamp;
};
