#pragma once

// Ombix Camera Control never talks to the camera directly. The Kavro device publishes its parameter
// descriptions, current values, logs and uploads on an MQTT broker; the link (CKavroComm) keeps the one
// broker connection, subscribes the configured topics and turns each parameter of an inbound JSON message
// into a CKavroParam record, handed to MainWindow::DataUpdate (anything else goes to MessageUpdate). The
// window routes each record by topic name into the matching control of its CControlsMap: the controls
// (slider/spin box, check box, radio group, combo box) wrap widgets of the form and show what the device
// reports. The way back starts at the same controls: a user edit makes a control emit ValueChanged, the
// window wraps the value in a one-attribute record (at once, or delayed to gather a burst of spin-box
// edits) and the link publishes it as compact JSON on the parameter topic; the device applies it and
// reports the new value on its status topic, which the control takes without echoing it.
// Raw traffic ends up in MessageUpdate: log text goes to the message pane, a parameter upload into the
// file the user chose with Save, and capture buffers are kept until the device reports the capture done,
// when they are written to the files that the capture dialog names. The window decides what goes where;
// CLogFile, CUploadFile and CSettingsFile write the log, upload, capture and settings files.
// A broker that refuses the connection as not authorised gets a user name and password: from the desktop's
// key store (CPasswordStore) when the user let it keep one, else from the user (CredentialsDialog).

#include "controls/ccomboboxoptions.h"
#include "controls/ccontrolsmap.h"
#include "link/ckavrocomm.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMainWindow>
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <utility>

class CKavroParam;
class CPasswordStore;
class CaptureDialog;
class ConfigDataDlg;
class CredentialsDialog;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QDoubleSpinBox;
class QSlider;
class QTimer;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Switches between the connected and the disconnected look. Disconnecting also disables every
    // parameter control; connecting leaves them to the attributes the device sends.
    void EnableDeviceControls(bool bEnable);

    // Seams over the desktop, replaced by tests. The clock dates the log files and their lines; the file
    // dialogs are Load's and Save's (they return the chosen path, or an empty one when cancelled); the
    // URL opener receives the web pages and the guide. They default to the real ones.
    using FileDialog = std::function<QString(
        QWidget* pParent, const QString& sCaption, const QString& sDir, const QString& sFilter)>;
    void SetClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    void SetFileDialogs(FileDialog openFileDialog, FileDialog saveFileDialog);
    void SetUrlOpener(std::function<void(const QUrl&)> openUrl) { m_openUrl = std::move(openUrl); }
    // The key store of broker passwords; the desktop's by default.
    void SetPasswordStore(std::unique_ptr<CPasswordStore> pPasswordStore);

signals:
    void UpdateDeviceState(bool bConnected);
    void captureCommand(QString sParamName, quint32 value, bool delayedSend);

private slots:
    void on_btnAbout_clicked();
    void on_btnConnect_clicked();
    void ValueChanged(QString sParamName, double value, bool delayedSend);
    void ValueChanged(QString sParamName, quint32 value, bool delayedSend);
    void ValueChanged(QString sParamName, bool value);
    void DelayedSendTrigger();
    void on_btnLoadDefaults_clicked();
    void on_loadButton_clicked();
    void on_saveButton_clicked();
    void onResizeButtonClicked(bool checked);
    void onLogoButtonClicked();
    void onLogoSensorButtonClicked();
    void on_viewConfigDataButton_clicked();
    void on_captureDlgButton_clicked();
    void captureCommandSlot(int muxSel);
    void PasswordRead(QString sKey, QString sPassword, bool bFound);
    void KeyStoreUnavailable(QString sReason);

public slots:
    void ConnectionStatusUpdate(bool bConnected, QString connectionStatus);
    // Takes ownership of pParamData (which may be null) and deletes it on every path.
    void DataUpdate(
        QString topicName, QString topic, QString subtopic, QString paramName, CKavroParam* pParamData);
    void MessageUpdate(
        QString topicName, QString topic, QString subtopic, QByteArray msgData, QString jsonError);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Frame
    void AddLogo();
    void CollapseAdvanced();
    void GrowToShowContents();
    void ExpandAdvanced();

    // Settings file
    void LoadConfiguration();
    void ApplyBrokerAddress(const QJsonObject& root);
    void ApplyMqttConfig(const QJsonObject& root);
    void SaveConfiguration(const QString& url, const QString& port);
    void SaveUserName(const QString& sUserName);
    void SaveBrokerAddress(const QList<QPair<QString, QString>>& members);
    bool EnsureFolder(const QString& path);
    QString ConfigFilePath() const;

    // Control registration
    void RegisterControls();
    void AddBooleanOption(QButtonGroup* pGroup, QAbstractButton* pButton, QAbstractButton* pSecondButton,
        QString sParamName, bool value, bool bEnabled, bool bReadOnly);
    void AddBinaryOption(QButtonGroup* pGroup, QAbstractButton* pButton, QAbstractButton* pSecondButton,
        QString sParamName, quint32 value, bool bEnabled, bool bReadOnly);
    void AddComboBoxOption(QComboBox* pComboBox, QString sParamName, const CComboBoxOptions& options,
        quint32 value, bool bEnabled, bool bReadOnly);
    void AddDoubleSliderSpinBox(QSlider* pSlider, QDoubleSpinBox* pSpinBox, QString sParamName, double value,
        double minValue, double maxValue, double stepValue, bool bEnabled, bool bReadOnly);

    // Connection panel
    void ShowDeviceStatus(bool bConnected, const QString& sStatus);
    void ShowWarning(const QString& sTitle, const QString& sText);
    void ShowBox(bool bWarning, const QString& sTitle, const QString& sText);
    void EndConnectionAttempt(bool bAborted);
    void ForgetConnectionState();
    bool IsDeviceConnected() const;

    // Secured brokers
    void ConnectToBroker(const QString& sUserName, const QString& sPassword);
    void AskForCredentials();
    QString KeyStoreKey(const QString& sUserName) const;

    // Inbound dispatch
    void ApplyConfigData(QString paramName, CKavroParam* pParamData);
    void ApplyStatusData(QString paramName, CKavroParam* pParamData);
    void ReadDeviceInfo(CKavroParam* pParamData, const QString& sFirstKey, const QString& sSecondKey,
        QString* pFirst, QString* pSecond);
    void ReportConversionError(const QString& paramName, const QString& sError);
    void AppendMessage(const QString& sText);
    void ShowPendingMessages();

    // Logs, uploads and capture files
    void WriteLogRecords(QString paramName, CKavroParam* pParamData);
    void SaveCaptureBuffer(QByteArray* pData, QString sFileName, QString sExtension);
    void ReplaceFile(const QString& sFileName, const QByteArray& data, const QString& sErrorTitle);
    QByteArray* CaptureBuffer(const QString& subtopic);
    void ClearCaptureBuffers();
    void SaveCapture(int nCaptureState);

    // Parameter files and the About box
    QString ChooseFile(const FileDialog& fileDialog, const QString& sCaption);
    QString DeviceVersions() const;

    // Publishing
    void PublishValue(const QString& sParamName, CKavroParam* pParamData, bool delayedSend);
    void QueueDelayedSend(QString sParamName, CKavroParam* pParamData);
    void DiscardPendingValues();
    void SendControlCommand(QString command, bool value);

    // Also a child of the window, so that the benchmark and the inbound fuzzer reach the window's own link.
    CKavroComm m_kavroComm;
    QJsonDocument m_configDoc;
    CControlsMap m_controls;
    QString m_sUploadFilePath;
    QString m_sAppFolder;
    QMap<QString, CKavroParam*> m_pendingValues;
    std::shared_ptr<QTimer> m_pDelayedSendTimer;
    std::shared_ptr<ConfigDataDlg> m_pConfigDataDlg;
    std::shared_ptr<CaptureDialog> m_pCaptureDlg;
    std::shared_ptr<CredentialsDialog> m_pCredentialsDlg;
    std::unique_ptr<CPasswordStore> m_pPasswordStore;
    QSize m_compactSize;
    bool m_bUpdatingFromDevice;
    bool m_bClosing;
    bool m_bAdvancedShown;
    // A message box of the window's is open.
    bool m_bBoxOpen = false;
    std::shared_ptr<Ui::MainWindow> ui;
    QString m_sFpgaVersion;
    QString m_sFpgaDate;
    QString m_sSoftwareVersion;
    QString m_sSoftwareDate;
    QString m_sBoardType;
    QString m_sBoardVersion;
    QString m_sSensorManufacturer;
    QString m_sSensorModel;
    int m_nCaptureState;
    QByteArray m_captureT1;
    QByteArray m_captureT2;
    QByteArray m_captureT3;
    QByteArray m_captureLdr;
    QByteArray m_captureHdmi;
    QByteArray m_captureMeta;
    std::function<QDateTime()> m_clock;
    FileDialog m_openFileDialog;
    FileDialog m_saveFileDialog;
    std::function<void(const QUrl&)> m_openUrl;
    // Counts discards of the pending values, so that a send scheduled before one stays idle.
    int m_nSendGeneration = 0;
    // Message-pane lines of the current pass of the event loop, not yet in the pane.
    QStringList m_pendingMessages;
    // The settings file's optional CA file and user name for a secured broker.
    QString m_sCaFile;
    QString m_sUserName;
    // The broker of the current connection attempt, which may take several tries with credentials.
    QString m_sBrokerUrl;
    QString m_sBrokerPort;
    bool m_bCredentialsSent = false;
    bool m_bAwaitingKeyStore = false;
    // A password to be kept in the key store once the broker has taken it, and its key.
    QString m_sRememberKey;
    QString m_sRememberPassword;
};
