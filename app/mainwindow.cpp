#include "app/mainwindow.h"

#include "app/buildinfo.h"
#include "app/clogfile.h"
#include "app/cpasswordstore.h"
#include "app/csettingsfile.h"
#include "app/cuploadfile.h"
#include "dialogs/capturedialog.h"
#include "dialogs/configdatadlg.h"
#include "dialogs/credentialsdialog.h"
#include "model/ckavroparam.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QJsonParseError>
#include <QMessageBox>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStandardPaths>
#include <QSvgWidget>
#include <QTimer>
#include <utility>

namespace {

// Process-wide: only the first show of the window collapses the advanced panel.
bool s_bFirstShow = true;

constexpr int kAdvancedPanelWidth = 500;
// The maker's logo fills the flat logo button, which the form makes exactly this size.
constexpr QSize kLogoSize(130, 100);
// Range of a control whose configuration record names no bounds of its own.
constexpr int kDefaultMinValue = 0;
constexpr int kDefaultMaxValue = 99999;
constexpr int kFirstDelayedSendMs = 1250;
constexpr int kFollowingDelayedSendMs = 750;

const QString kParamsConfig = QStringLiteral("params_config");
const QString kParamsStatus = QStringLiteral("params_status");
const QString kParamsSet = QStringLiteral("params_set");
const QString kControlSet = QStringLiteral("control_set");
const QString kLogData = QStringLiteral("log_data");
const QString kParamsUpload = QStringLiteral("params_upload");
const QString kCaptureUpload = QStringLiteral("capture_upload");
const QString kLogTopic = QStringLiteral("/hdr/status/logs");
// The sensor whose still frame is one LDR image (and whose LDR path is always offered) instead of T1-T3.
const QString kLdrSensorModel = QStringLiteral("AR0233");

// Opened by the two logo buttons: the maker's home page and the product page of the image sensor.
const QString kMakerHomePage = QStringLiteral("https://www.ombix.example/");
const QString kSensorProductPage = QStringLiteral("https://www.ombix.example/sensors/ar0233at");
const QString kFileFilter = QStringLiteral("json files (*.json) ;; text files (*.txt) ;; All files (*.*)");

QString NoFileSelectedText() { return MainWindow::tr("<no file selected>"); }

QString ConnectText() { return MainWindow::tr("Connect"); }

QString AbortText() { return MainWindow::tr("Abort"); }

QString DisconnectText() { return MainWindow::tr("Disconnect"); }

// The attribute stored under sKey, or null. Never inserts into the record.
const CKavroType* Attribute(const CKavroParam* pRecord, const QString& sKey)
{
    return pRecord->value(sKey, nullptr);
}

// Viewer text of one configuration record: a heading with topic, subtopic and parameter name, then the
// attributes in key order inside braces.
QString ConfigRecordText(
    const QString& topic, const QString& subtopic, const QString& paramName, const CKavroParam& record)
{
    QStringList attributes;
    for (auto it = record.constBegin(); it != record.constEnd(); ++it)
        attributes << QStringLiteral("\"%1\":\"%2\"").arg(it.key(), it.value()->ToString());

    QString sText = subtopic == QLatin1String("parameters") ? QString() : QStringLiteral("\n");
    sText += QStringLiteral("\n%1/%2/%3:\n    { ").arg(topic, subtopic, paramName);
    sText += attributes.join(QStringLiteral(", ")) + QStringLiteral(" }");
    return sText;
}

// Longest text that one message puts into the message pane or the configuration viewer. A device may send
// megabytes where a line is expected, and laying out a line of megabytes stops the window for minutes: the
// rest is left out, and its length is said.
constexpr int kMaxShownLength = 64 * 1024;

QString Shown(const QString& sText)
{
    if (sText.size() <= kMaxShownLength)
        return sText;
    return sText.left(kMaxShownLength) + MainWindow::tr(" [... %1 characters in all]").arg(sText.size());
}

// A payload as pane text: UTF-8 up to its first NUL byte.
QString PayloadText(const QByteArray& msgData)
{
    return QString::fromUtf8(msgData.constData(), int(qstrnlen(msgData.constData(), uint(msgData.size()))));
}

// The user guide: in "doc" beside the executable (a build tree, or an install on Windows), else where the
// install put it, relative to the executable. When neither is there the first is named all the same.
QUrl GuideUrl()
{
    const QString sFileName = QStringLiteral("Quick Start Guide.pdf");
    const QDir appDir(QCoreApplication::applicationDirPath());
    const QString sBeside = appDir.filePath(QStringLiteral("doc/") + sFileName);
    const QString sInstalled
        = QDir::cleanPath(appDir.filePath(BuildInfo::GuideInstallDir() + '/' + sFileName));
    return QUrl::fromLocalFile(QFile::exists(sBeside) || !QFile::exists(sInstalled) ? sBeside : sInstalled);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_kavroComm(this)
    , m_pConfigDataDlg(std::make_shared<ConfigDataDlg>(this))
    , m_pCaptureDlg(std::make_shared<CaptureDialog>(this))
    , m_pCredentialsDlg(std::make_shared<CredentialsDialog>(this))
    , m_compactSize(0, 0)
    , m_bUpdatingFromDevice(false)
    , m_bClosing(false)
    , m_bAdvancedShown(false)
    , ui(std::make_shared<Ui::MainWindow>())
    , m_nCaptureState(CaptureDialog::kNoCapture)
    , m_clock(&QDateTime::currentDateTime)
    , m_openFileDialog(
          [](QWidget* pParent, const QString& sCaption, const QString& sDir, const QString& sFilter) {
              return QFileDialog::getOpenFileName(pParent, sCaption, sDir, sFilter);
          })
    , m_saveFileDialog(
          [](QWidget* pParent, const QString& sCaption, const QString& sDir, const QString& sFilter) {
              return QFileDialog::getSaveFileName(pParent, sCaption, sDir, sFilter);
          })
    , m_openUrl(&QDesktopServices::openUrl)
{
    ui->setupUi(this);
    // The pane only grows; an undo history of every line the device sent would grow with it.
    ui->teMessages->document()->setUndoRedoEnabled(false);
    ui->sensorLabel->hide();
    ui->logoSensorButton->hide();
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));
    m_sAppFolder
        = QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
            + QLatin1Char('/') + QCoreApplication::applicationName());
    SetPasswordStore(std::make_unique<CPasswordStore>());

    LoadConfiguration();

    connect(ui->resizeButton, &QPushButton::clicked, this, &MainWindow::onResizeButtonClicked);
    connect(ui->logoButton, &QPushButton::clicked, this, &MainWindow::onLogoButtonClicked);
    connect(ui->logoSensorButton, &QPushButton::clicked, this, &MainWindow::onLogoSensorButtonClicked);
    AddLogo();
    ui->viewConfigDataButton->hide();
    connect(m_pCaptureDlg.get(), &CaptureDialog::startCapture, this, &MainWindow::captureCommandSlot);
    connect(this, &MainWindow::captureCommand, this,
        qOverload<QString, quint32, bool>(&MainWindow::ValueChanged));

    EnableDeviceControls(false);
    for (QWidget* pWidget :
        QList<QWidget*> { ui->captureDlgButton, ui->tonemapCB, ui->longExpCB, ui->lfmExpCB })
        pWidget->setVisible(false);
}

MainWindow::~MainWindow()
{
    m_bClosing = true;
    m_kavroComm.Disconnect(true);
    // Nothing the link does from here on may reach a window whose members are going away.
    m_kavroComm.disconnect(this);

    m_controls.DeleteAll();
    DiscardPendingValues();

    m_pDelayedSendTimer.reset();
    m_pConfigDataDlg.reset();
    m_pCaptureDlg.reset();
    m_pCredentialsDlg.reset();
    m_pPasswordStore.reset();
    ui.reset();
}

void MainWindow::AddLogo()
{
    auto* pLogo = new QSvgWidget(QStringLiteral(":/logo.svg"), this);
    pLogo->setFixedSize(kLogoSize);
    pLogo->setStyleSheet(QStringLiteral("background: transparent"));
    pLogo->setContentsMargins(0, 0, 0, 0);

    auto* pLayout = new QHBoxLayout;
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    ui->logoButton->setLayout(pLayout);
    pLayout->addWidget(pLogo);
    pLayout->setStretch(0, 0);
}

void MainWindow::SetFileDialogs(FileDialog openFileDialog, FileDialog saveFileDialog)
{
    m_openFileDialog = std::move(openFileDialog);
    m_saveFileDialog = std::move(saveFileDialog);
}

void MainWindow::SetPasswordStore(std::unique_ptr<CPasswordStore> pPasswordStore)
{
    m_pPasswordStore = std::move(pPasswordStore);
    connect(m_pPasswordStore.get(), &CPasswordStore::PasswordRead, this, &MainWindow::PasswordRead);
    connect(m_pPasswordStore.get(), &CPasswordStore::Unavailable, this, &MainWindow::KeyStoreUnavailable);
}

// ---------------------------------------------------------------------------------------------------------
// Look and size of the window

void MainWindow::EnableDeviceControls(bool bEnable)
{
    for (QWidget* pWidget : QList<QWidget*> {
             ui->leFileName, ui->btnLoadDefaults, ui->loadButton, ui->saveButton, ui->highlightsCmbBox })
        pWidget->setEnabled(bEnable);

    ui->logoSensorButton->setVisible(bEnable);
    ui->sensorLabel->setVisible(bEnable);
    if (bEnable)
        return;

    // The device enables each control again with the attributes it sends.
    for (CControlBase* pControl : qAsConst(m_controls)) {
        if (pControl)
            pControl->EnableControl(false);
    }
    m_pConfigDataDlg->ClearText();
}

void MainWindow::CollapseAdvanced()
{
    ui->advancedGroupBox->hide();
    m_bAdvancedShown = false;
    if (m_compactSize.isNull()) {
        m_compactSize = minimumSizeHint();
        resize(minimumSizeHint());
        adjustSize();
        GrowToShowContents();
        m_compactSize = size();
    } else {
        resize(m_compactSize);
    }
    ui->resizeButton->setText(tr("Advanced"));
}

// Where the platform's fonts need more room than the form was designed for, the controls would open squeezed
// (labels cut off) under a scroll bar, and the advanced panel would cut off the values of its fixed-width
// spin boxes. Each column keeps what its widgets need (the controls their minimum, the panel its preferred
// width; the designed minimums are below that), and the window grows by what its contents lack, collapsed
// or expanded by the panel's 500 pixels. The window manager keeps it on the screen.
void MainWindow::GrowToShowContents()
{
    QWidget* pControls = ui->widgetControls;
    QWidget* pAdvanced = ui->advancedGroupBox;
    const QSize controls = pControls->minimumSizeHint();
    pControls->setMinimumWidth(qMax(pControls->minimumWidth(), controls.width()));
    pAdvanced->setMinimumWidth(qMax(pAdvanced->minimumWidth(), pAdvanced->sizeHint().width()));

    const QLayout* pLayout = ui->scrollAreaWidgetContents->layout();
    const int nExpandedWidth = controls.width() + pLayout->spacing() + pAdvanced->minimumWidth();
    const int nHeight = pControls->hasHeightForWidth()
        ? qMax(controls.height(), pControls->heightForWidth(controls.width()))
        : controls.height();
    const QSize needed = QSize(qMax(controls.width(), nExpandedWidth - kAdvancedPanelWidth), nHeight)
                             .grownBy(pLayout->contentsMargins());
    const QSize lacking = (needed - ui->scrollArea->maximumViewportSize()).expandedTo(QSize(0, 0));
    if (!lacking.isNull())
        resize(size() + lacking);
}

void MainWindow::ExpandAdvanced()
{
    ui->advancedGroupBox->show();
    m_bAdvancedShown = true;
    resize(width() + kAdvancedPanelWidth, height());
    ui->resizeButton->setText(tr("Less"));
}

void MainWindow::onResizeButtonClicked(bool checked)
{
    if (checked)
        ExpandAdvanced();
    else
        CollapseAdvanced();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!s_bFirstShow)
        return;
    CollapseAdvanced();
    s_bFirstShow = false;
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_compactSize.isNull())
        return;
    m_compactSize = size();
    if (m_bAdvancedShown)
        m_compactSize.rwidth() -= kAdvancedPanelWidth;
}

// ---------------------------------------------------------------------------------------------------------
// Settings file

QString MainWindow::ConfigFilePath() const { return CSettingsFile(m_sAppFolder).FilePath(); }

void MainWindow::LoadConfiguration()
{
    QString sMessage;

    QFile defaultsFile(QStringLiteral(":/default-config.json"));
    defaultsFile.open(QIODevice::ReadOnly);
    const QByteArray defaultText = defaultsFile.readAll();
    QJsonParseError error;
    const QJsonDocument defaults = QJsonDocument::fromJson(defaultText, &error);

    RegisterControls();

    if (error.error != QJsonParseError::NoError) {
        sMessage += tr("\n\nError loading config defaults:\n\n") + error.errorString() + tr("\nOffset: ")
            + QString::number(error.offset) + QStringLiteral("\n\n") + QString::fromUtf8(defaultText);
    } else {
        ApplyBrokerAddress(defaults.object());
        ApplyMqttConfig(defaults.object());
    }

    if (EnsureFolder(m_sAppFolder) && CSettingsFile(m_sAppFolder).Read(&m_configDoc, &error)) {
        if (error.error != QJsonParseError::NoError) {
            sMessage += tr("\n\nError loading config json file:\n\n") + ConfigFilePath()
                + QStringLiteral("\n\n") + error.errorString() + tr("\nOffset: ")
                + QString::number(error.offset);
        } else {
            ApplyBrokerAddress(m_configDoc.object());
        }
    }

    if (sMessage.isEmpty())
        return;
    QMessageBox::warning(nullptr, tr("Load Configuration"), sMessage);
    AppendMessage(sMessage);
}

void MainWindow::ApplyBrokerAddress(const QJsonObject& root)
{
    if (!root.contains(QLatin1String("broker_address")))
        return;
    const QJsonObject address = root.value(QLatin1String("broker_address")).toObject();
    if (address.contains(QLatin1String("url")))
        ui->leBrokerURL->setText(address.value(QLatin1String("url")).toString());
    if (address.contains(QLatin1String("port")))
        ui->leBrokerPort->setText(address.value(QLatin1String("port")).toString());
    if (address.contains(QLatin1String("ca_file")))
        m_sCaFile = address.value(QLatin1String("ca_file")).toString();
    if (address.contains(QLatin1String("username")))
        m_sUserName = address.value(QLatin1String("username")).toString();
}

void MainWindow::ApplyMqttConfig(const QJsonObject& root)
{
    m_kavroComm.ReadTopicConfig(root.value(QLatin1String("mqtt_config")).toObject());

    connect(&m_kavroComm, &CKavroComm::ConnectionStatusUpdate, this, &MainWindow::ConnectionStatusUpdate,
        Qt::UniqueConnection);
    connect(&m_kavroComm, &CKavroComm::DataUpdate, this, &MainWindow::DataUpdate, Qt::UniqueConnection);
    connect(&m_kavroComm, &CKavroComm::MessageUpdate, this, &MainWindow::MessageUpdate, Qt::UniqueConnection);
    // SetDeviceState is private to the link, so this one is made by name.
    connect(this, SIGNAL(UpdateDeviceState(bool)), &m_kavroComm, SLOT(SetDeviceState(bool)),
        Qt::UniqueConnection);
}

void MainWindow::SaveConfiguration(const QString& url, const QString& port)
{
    SaveBrokerAddress({ { QStringLiteral("url"), url }, { QStringLiteral("port"), port } });
}

// The user name of a secured broker is kept with its address; the password never is.
void MainWindow::SaveUserName(const QString& sUserName)
{
    m_sUserName = sUserName;
    SaveBrokerAddress({ { QStringLiteral("username"), sUserName } });
}

// Records the members of broker_address in the stored document and writes the file if any of them changed.
// The stored document takes the new values also when the file then cannot be written, so the same address
// is not tried again.
void MainWindow::SaveBrokerAddress(const QList<QPair<QString, QString>>& members)
{
    if (!CSettingsFile::SetBrokerMembers(&m_configDoc, members))
        return;
    if (!EnsureFolder(m_sAppFolder) || !CSettingsFile(m_sAppFolder).Write(m_configDoc)) {
        QMessageBox::warning(nullptr, tr("Save Configuration"),
            tr("Error opening config json file to save:\n\n") + ConfigFilePath());
    }
}

bool MainWindow::EnsureFolder(const QString& path)
{
    if (QDir(path).exists())
        return true;
    return QDir().mkpath(path);
}

// ---------------------------------------------------------------------------------------------------------
// Connection panel

void MainWindow::on_btnConnect_clicked()
{
    if (ui->btnConnect->text() != ConnectText()) {
        // While the key store is asked, the link has no connection whose end would be reported.
        if (std::exchange(m_bAwaitingKeyStore, false)) {
            EndConnectionAttempt(true);
            return;
        }
        // The panel follows the status update that the disconnect produces.
        m_kavroComm.Disconnect(true);
        return;
    }

    const QString url = ui->leBrokerURL->text().trimmed();
    const QString port = ui->leBrokerPort->text().trimmed();
    if (url.isEmpty() || port.isEmpty()) {
        QMessageBox::warning(
            nullptr, tr("Connect"), tr("To connect with the camera, the url and port must not be blank."));
        return;
    }
    static const QRegularExpression kDigitsOnly(QStringLiteral("\\A[0-9]+\\z"));
    if (!kDigitsOnly.match(port).hasMatch()) {
        QMessageBox::warning(
            nullptr, tr("Connect"), tr("To connect with the camera, port must be all digits."));
        return;
    }

    SaveConfiguration(url, port);
    m_sBrokerUrl = url;
    m_sBrokerPort = port;
    // A password that the key store keeps for the user name is looked up first; without one the broker is
    // tried without credentials, as it may not want any.
    if (!m_sUserName.isEmpty() && m_pPasswordStore->IsAvailable()) {
        m_bAwaitingKeyStore = true;
        m_pPasswordStore->Read(KeyStoreKey(m_sUserName));
    } else {
        ConnectToBroker(QString(), QString());
    }
    ui->btnConnect->setText(AbortText());
}

void MainWindow::ConnectionStatusUpdate(bool bConnected, QString connectionStatus)
{
    AppendMessage(
        tr("Broker %1; Status: %2").arg(bConnected ? tr("Connected") : tr("Disconnected"), connectionStatus));
    if (bConnected) {
        // Only a password that the broker has taken goes into the key store.
        if (!m_sRememberKey.isEmpty())
            m_pPasswordStore->Write(
                std::exchange(m_sRememberKey, {}), std::exchange(m_sRememberPassword, {}));
        return;
    }

    ForgetConnectionState();

    if (ui->btnConnect->text() == DisconnectText()) {
        ui->btnConnect->setText(ConnectText());
        EnableDeviceControls(false);
        if (m_bClosing)
            return;
        if (m_kavroComm.m_bUserDisconnect)
            ShowWarning(tr("Connection Status"), tr("Connection to MQTT Broker terminated."));
        else
            ShowWarning(tr("Connection Alert"),
                tr("%1Please check the MQTT broker/Kavro device").arg(connectionStatus));
        return;
    }

    // Only the end of a connection attempt (an empty status while the button reads "Abort") acts here.
    if (!connectionStatus.isEmpty() || ui->btnConnect->text() == ConnectText())
        return;
    const QMqttClient::ClientError error = m_kavroComm.LastError();
    if (!m_bClosing && !m_kavroComm.m_bUserDisconnect
        && (error == QMqttClient::NotAuthorized || error == QMqttClient::BadUsernameOrPassword)) {
        AskForCredentials();
        return;
    }
    if (!m_kavroComm.LastErrorString().isEmpty())
        AppendMessage(tr("Secure connection failed: %1").arg(m_kavroComm.LastErrorString()));
    EndConnectionAttempt(m_kavroComm.m_bUserDisconnect);
}

void MainWindow::EndConnectionAttempt(bool bAborted)
{
    m_sRememberKey.clear();
    m_sRememberPassword.clear();
    EnableDeviceControls(false);
    if (!m_bClosing) {
        if (bAborted)
            ShowWarning(tr("Connection Status"), tr("Connection to MQTT Broker aborted."));
        else
            ShowWarning(tr("Connection Status"),
                tr("Connection to MQTT Broker failed.\nPlease check the MQTT broker/Kavro device"));
    }
    ui->btnConnect->setText(ConnectText());
}

void MainWindow::ShowDeviceStatus(bool bConnected, const QString& sStatus)
{
    EnableDeviceControls(bConnected);
    if (!bConnected || ui->btnConnect->text() == DisconnectText())
        return;
    emit UpdateDeviceState(true);
    ui->btnConnect->setText(DisconnectText());
    AppendMessage(tr("Device Status: Connected - %1").arg(sStatus));
}

// Without a broker connection, what was waiting for the device is void: delayed edits were made for a
// device that may not be the next one, and a capture or an upload requested from it will not be answered.
void MainWindow::ForgetConnectionState()
{
    DiscardPendingValues();
    m_nCaptureState = CaptureDialog::kNoCapture;
    m_sUploadFilePath.clear();
}

void MainWindow::ShowWarning(const QString& sTitle, const QString& sText) { ShowBox(true, sTitle, sText); }

// A box runs the event loop while it is open, so device traffic goes on meanwhile. A box opened for it then
// would stand on top of the first, and so on for every message while the device keeps sending: a flood of
// unasked uploads stacks boxes until the stack runs out. While one box is open, what another would say goes
// to the message pane.
void MainWindow::ShowBox(bool bWarning, const QString& sTitle, const QString& sText)
{
    if (m_bBoxOpen) {
        AppendMessage(sTitle + QStringLiteral(": ") + sText);
        return;
    }
    m_bBoxOpen = true;
    if (bWarning)
        QMessageBox::warning(this, sTitle, sText);
    else
        QMessageBox::information(this, sTitle, sText);
    m_bBoxOpen = false;
}

// The lines of one pass of the event loop go into the pane together when the pass is over: one append, one
// layout and one scroll for a flood of device logs instead of one per line. They are shown by the next
// paint either way.
void MainWindow::AppendMessage(const QString& sText)
{
    if (m_pendingMessages.isEmpty())
        QTimer::singleShot(0, this, &MainWindow::ShowPendingMessages);
    m_pendingMessages << Shown(sText);
}

void MainWindow::ShowPendingMessages()
{
    ui->teMessages->appendPlainText(std::exchange(m_pendingMessages, {}).join(QLatin1Char('\n')));
}

// ---------------------------------------------------------------------------------------------------------
// Secured brokers

void MainWindow::ConnectToBroker(const QString& sUserName, const QString& sPassword)
{
    m_bCredentialsSent = !sUserName.isEmpty();
    // A CA file named without a folder lies beside the settings file.
    m_kavroComm.SetCaFile(m_sCaFile.isEmpty() ? QString() : QDir(m_sAppFolder).absoluteFilePath(m_sCaFile));
    m_kavroComm.SetCredentials(sUserName, sPassword);
    m_kavroComm.Connect(m_sBrokerUrl, m_sBrokerPort.toUShort(nullptr, 10));
}

void MainWindow::PasswordRead(QString sKey, QString sPassword, bool bFound)
{
    if (!m_bAwaitingKeyStore || sKey != KeyStoreKey(m_sUserName))
        return;
    m_bAwaitingKeyStore = false;
    ConnectToBroker(bFound ? m_sUserName : QString(), sPassword);
}

// The broker refused the attempt as not authorised: the user gives a user name and password, and the
// attempt goes on with them; Cancel ends it as Abort does. The password lives only as long as this
// attempt, in the key store when the user lets it, and never in the settings file.
void MainWindow::AskForCredentials()
{
    m_pCredentialsDlg->Prepare(QStringLiteral("%1:%2").arg(m_sBrokerUrl, m_sBrokerPort), m_sUserName,
        m_bCredentialsSent, m_pPasswordStore->IsAvailable());
    const bool bAccepted = m_pCredentialsDlg->exec() == QDialog::Accepted;
    const QString sUserName = m_pCredentialsDlg->UserName();
    const QString sPassword = m_pCredentialsDlg->Password();
    m_pCredentialsDlg->ClearPassword();
    if (!bAccepted) {
        EndConnectionAttempt(true);
        return;
    }
    SaveUserName(sUserName);
    const bool bRemember = m_pCredentialsDlg->RememberPassword();
    m_sRememberKey = bRemember ? KeyStoreKey(sUserName) : QString();
    m_sRememberPassword = bRemember ? sPassword : QString();
    if (!bRemember)
        m_pPasswordStore->Remove(KeyStoreKey(sUserName));
    ConnectToBroker(sUserName, sPassword);
}

QString MainWindow::KeyStoreKey(const QString& sUserName) const
{
    return QStringLiteral("%1@%2:%3").arg(sUserName, m_sBrokerUrl, m_sBrokerPort);
}

void MainWindow::KeyStoreUnavailable(QString sReason)
{
    AppendMessage(tr("No key store is available (%1): the broker password is asked for at every connection.")
                      .arg(sReason));
}

// ---------------------------------------------------------------------------------------------------------
// Inbound dispatch

void MainWindow::DataUpdate(
    QString topicName, QString topic, QString subtopic, QString paramName, CKavroParam* pParamData)
{
    const std::unique_ptr<CKavroParam> pRecord(pParamData);
    if (!pRecord)
        return;

    if (topicName == kParamsConfig) {
        const QString sText = ConfigRecordText(topic, subtopic, paramName, *pRecord);
        // Controls that move their widgets here emit ValueChanged; nothing of it goes back to the device.
        m_bUpdatingFromDevice = true;
        try {
            ApplyConfigData(paramName, pRecord.get());
        } catch (const QString& sError) {
            ReportConversionError(paramName, sError);
        }
        m_pConfigDataDlg->AppendText(Shown(sText));
        m_bUpdatingFromDevice = false;
    } else if (topicName == kParamsStatus) {
        try {
            ApplyStatusData(paramName, pRecord.get());
        } catch (const QString& sError) {
            ReportConversionError(paramName, sError);
        }
    } else if (topicName == kLogData) {
        WriteLogRecords(paramName, pRecord.get());
    }
}

void MainWindow::ReportConversionError(const QString& paramName, const QString& sError)
{
    qDebug().noquote() << paramName << sError;
    AppendMessage(QStringLiteral("%1: %2").arg(paramName, sError));
}

void MainWindow::ApplyConfigData(QString paramName, CKavroParam* pParamData)
{
    if (!m_controls.contains(paramName)) {
        const struct
        {
            const char* sName;
            const char* sFirstKey;
            const char* sSecondKey;
            QString* pFirst;
            QString* pSecond;
        } deviceInfo[] = {
            { "fpga", "version", "date", &m_sFpgaVersion, &m_sFpgaDate },
            { "software_version", "version", "date", &m_sSoftwareVersion, &m_sSoftwareDate },
            { "board_type", "type", "version", &m_sBoardType, &m_sBoardVersion },
            { "sensor_type", "manufacturer", "model", &m_sSensorManufacturer, &m_sSensorModel },
        };
        for (const auto& row : deviceInfo) {
            if (paramName == QLatin1String(row.sName)) {
                ReadDeviceInfo(pParamData, QLatin1String(row.sFirstKey), QLatin1String(row.sSecondKey),
                    row.pFirst, row.pSecond);
                break;
            }
        }
        return;
    }

    CControlBase* pControl = m_controls.value(paramName);
    if (!pControl)
        return;

    const CKavroType* pDisabled = Attribute(pParamData, QStringLiteral("disabled"));
    const CKavroType* pReadOnly = Attribute(pParamData, QStringLiteral("read-only"));
    const CKavroType* pDescription = Attribute(pParamData, QStringLiteral("description"));
    const CKavroType* pMin = Attribute(pParamData, QStringLiteral("min-value"));
    const CKavroType* pMax = Attribute(pParamData, QStringLiteral("max-value"));

    const bool bEnabled = !(pDisabled && pDisabled->ToBool());
    const bool bReadOnly = pReadOnly && pReadOnly->ToBool();
    const QString sDescription = pDescription ? pDescription->ToString() : QString();
    const QVariant minValue = pMin ? pMin->ToVariant() : QVariant(kDefaultMinValue);
    const QVariant maxValue = pMax ? pMax->ToVariant() : QVariant(kDefaultMaxValue);

    // The histogram switch is shown, never operated, whatever the device says about it.
    if (paramName == QLatin1String("osdhist"))
        pControl->SetAttributes(false, true, sDescription, minValue, maxValue);
    else
        pControl->SetAttributes(bEnabled, bReadOnly, sDescription, minValue, maxValue);
}

void MainWindow::ApplyStatusData(QString paramName, CKavroParam* pParamData)
{
    const CKavroType* pValue = Attribute(pParamData, QStringLiteral("value"));

    if (paramName == QLatin1String("connection_status")) {
        if (!pValue)
            return;
        const QString sStatus = pValue->ToString();
        if (sStatus == QLatin1String("active"))
            ShowDeviceStatus(true, QStringLiteral("device ") + sStatus);
        else
            emit UpdateDeviceState(false);
        return;
    }
    if (paramName == QLatin1String("capture")) {
        if (pValue)
            captureCommandSlot(int(pValue->ToUInt()));
        return;
    }

    CControlBase* pControl = m_controls.value(paramName, nullptr);
    if (!pControl)
        return;

    const CKavroType* pMin = Attribute(pParamData, QStringLiteral("min-value"));
    const CKavroType* pMax = Attribute(pParamData, QStringLiteral("max-value"));
    if (pMin && pMax) {
        const QVariant minValue = pMin->ToVariant();
        const QVariant maxValue = pMax->ToVariant();
        if (minValue != pControl->m_minValue || maxValue != pControl->m_maxValue) {
            pControl->m_minValue = minValue;
            pControl->m_maxValue = maxValue;
            pControl->UpdateRange();
        }
    }
    if (pValue)
        pControl->SetValue(pValue->ToVariant());
    if (const CKavroType* pDisabled = Attribute(pParamData, QStringLiteral("disabled")))
        pControl->EnableControl(paramName != QLatin1String("osdhist") && !pDisabled->ToBool());
}

void MainWindow::ReadDeviceInfo(CKavroParam* pParamData, const QString& sFirstKey, const QString& sSecondKey,
    QString* pFirst, QString* pSecond)
{
    if (const CKavroType* pAttribute = Attribute(pParamData, sFirstKey))
        *pFirst = pAttribute->ToString();
    if (const CKavroType* pAttribute = Attribute(pParamData, sSecondKey))
        *pSecond = pAttribute->ToString();
}

void MainWindow::MessageUpdate(
    QString topicName, QString topic, QString subtopic, QByteArray msgData, QString jsonError)
{
    if (topic == kLogTopic) {
        AppendMessage(PayloadText(msgData));
        return;
    }
    if (topicName == kCaptureUpload) {
        qDebug().noquote() << "capture_upload: " + subtopic + " size: " + QString::number(msgData.size());
        if (QByteArray* pBuffer = CaptureBuffer(subtopic))
            *pBuffer = msgData;
        return;
    }
    if (jsonError.isEmpty() && topicName == kParamsUpload) {
        // Another panel on the same camera may have asked for it: without a Save of its own the panel only
        // notes it.
        if (m_sUploadFilePath.isEmpty()) {
            AppendMessage(tr("A parameter upload of %1 bytes arrived; no Save is waiting for it here.")
                              .arg(msgData.size()));
            return;
        }
        // The file chosen with Save takes the next upload only: a later one must not overwrite it.
        ReplaceFile(std::exchange(m_sUploadFilePath, QString()), msgData,
            tr("Unable to open file to save upload params data:\n\n%1"));
        return;
    }
    QString sText = QStringLiteral("Topic %1 [%2 / %3]").arg(topicName, topic, subtopic);
    if (!jsonError.isEmpty())
        sText += QStringLiteral(" jsonError: ") + jsonError;
    sText += QStringLiteral("\nRaw Data: ") + PayloadText(msgData);
    AppendMessage(sText);
}

// ---------------------------------------------------------------------------------------------------------
// Logs, uploads and capture files

QByteArray* MainWindow::CaptureBuffer(const QString& subtopic)
{
    const QMap<QString, QByteArray*> buffers
        = { { QStringLiteral("t1"), &m_captureT1 }, { QStringLiteral("t2"), &m_captureT2 },
              { QStringLiteral("t3"), &m_captureT3 }, { QStringLiteral("ldr"), &m_captureLdr },
              { QStringLiteral("hdmi"), &m_captureHdmi }, { QStringLiteral("meta"), &m_captureMeta } };
    return buffers.value(subtopic, nullptr);
}

void MainWindow::ClearCaptureBuffers()
{
    for (QByteArray* pBuffer :
        { &m_captureT1, &m_captureT2, &m_captureT3, &m_captureLdr, &m_captureHdmi, &m_captureMeta })
        pBuffer->clear();
}

// One file per local calendar day, opened for each record and only ever appended to; a write that fails
// is reported as a file that does not open is.
void MainWindow::WriteLogRecords(QString paramName, CKavroParam* pParamData)
{
    const QDateTime now = m_clock();
    // A folder that cannot be made shows as the reason why the file does not open.
    EnsureFolder(m_sAppFolder);
    CLogFile logFile(m_sAppFolder, QCoreApplication::applicationName());
    const QString sOpenError = tr("Unable to open file to save log data:%1\n%2");
    if (!logFile.Open(now)) {
        AppendMessage(sOpenError.arg(logFile.FileName(), logFile.ErrorString()));
        return;
    }

    const QStringList lines = CLogFile::Lines(now, paramName, *pParamData);
    for (const QString& sLine : lines)
        AppendMessage(sLine);
    if (!logFile.Append(lines))
        AppendMessage(sOpenError.arg(logFile.FileName(), logFile.ErrorString()));
}

void MainWindow::SaveCaptureBuffer(QByteArray* pData, QString sFileName, QString sExtension)
{
    ReplaceFile(sFileName + QLatin1Char('.') + sExtension, *pData,
        tr("Unable to open file to save upload capture data:\n\n%1"));
}

// Failures to open and to write are reported alike: an information box titled with the file name, the
// reason as its text.
void MainWindow::ReplaceFile(const QString& sFileName, const QByteArray& data, const QString& sErrorTitle)
{
    CUploadFile file(sFileName);
    if (!file.Write(data))
        ShowBox(false, sErrorTitle.arg(sFileName), file.ErrorString());
}

// ---------------------------------------------------------------------------------------------------------
// Publishing

void MainWindow::ValueChanged(QString sParamName, double value, bool delayedSend)
{
    if (!m_bUpdatingFromDevice)
        PublishValue(sParamName, new CKavroParam(value), delayedSend);
}

void MainWindow::ValueChanged(QString sParamName, quint32 value, bool delayedSend)
{
    if (!m_bUpdatingFromDevice)
        PublishValue(sParamName, new CKavroParam(value), delayedSend);
}

void MainWindow::ValueChanged(QString sParamName, bool value)
{
    if (!m_bUpdatingFromDevice)
        PublishValue(sParamName, new CKavroParam(value), false);
}

void MainWindow::PublishValue(const QString& sParamName, CKavroParam* pParamData, bool delayedSend)
{
    if (delayedSend)
        QueueDelayedSend(sParamName, pParamData);
    else
        m_kavroComm.SetParam(kParamsSet, sParamName, pParamData);
}

// Gathers a burst of edits: the first one waits 1250 ms, each later one schedules another send 750 ms
// ahead. Every scheduled call sends what is pending when it runs, the latest value per parameter.
void MainWindow::QueueDelayedSend(QString sParamName, CKavroParam* pParamData)
{
    int nInterval = kFirstDelayedSendMs;
    if (m_pDelayedSendTimer) {
        m_pDelayedSendTimer.reset();
        nInterval = kFollowingDelayedSendMs;
    }

    delete m_pendingValues.value(sParamName, nullptr);
    m_pendingValues.insert(sParamName, pParamData);

    m_pDelayedSendTimer = std::make_shared<QTimer>();
    const int nGeneration = m_nSendGeneration;
    QTimer::singleShot(nInterval, this, [this, nGeneration] {
        if (nGeneration == m_nSendGeneration)
            DelayedSendTrigger();
    });
}

// Drops the pending values; the sends already scheduled for them stay idle.
void MainWindow::DiscardPendingValues()
{
    ++m_nSendGeneration;
    m_pDelayedSendTimer.reset();
    qDeleteAll(m_pendingValues);
    m_pendingValues.clear();
}

void MainWindow::DelayedSendTrigger()
{
    m_pDelayedSendTimer.reset();
    const QMap<QString, CKavroParam*> pending = std::exchange(m_pendingValues, {});
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it)
        m_kavroComm.SetParam(kParamsSet, it.key(), it.value());
}

void MainWindow::SendControlCommand(QString command, bool value)
{
    m_kavroComm.SetParam(kControlSet, command, new CKavroParam(value));
}

// ---------------------------------------------------------------------------------------------------------
// Commands, files, capture and the About box

void MainWindow::on_btnLoadDefaults_clicked() { SendControlCommand(QStringLiteral("load-defaults"), true); }

void MainWindow::on_viewConfigDataButton_clicked() { m_pConfigDataDlg->exec(); }

// Runs the Load or Save file dialog, starting at the file last chosen (else in the current directory). The
// field shows the file chosen, or the placeholder when the dialog was cancelled and the result is empty.
QString MainWindow::ChooseFile(const FileDialog& fileDialog, const QString& sCaption)
{
    const QString sShown = ui->leFileName->text();
    const QString sStart = sShown.isEmpty() || sShown == NoFileSelectedText() ? QDir::currentPath() : sShown;
    const QString sFileName = fileDialog(this, sCaption, sStart, kFileFilter);
    ui->leFileName->setText(sFileName.isEmpty() ? NoFileSelectedText() : sFileName);
    return sFileName;
}

bool MainWindow::IsDeviceConnected() const { return ui->btnConnect->text() == DisconnectText(); }

// The file dialogs run a nested event loop: a device that has gone meanwhile gets nothing.
void MainWindow::on_loadButton_clicked()
{
    // Sent as it is: what the device makes of the file is the device's affair.
    const QString sFileName = ChooseFile(m_openFileDialog, tr("Open Download File"));
    QFile file(sFileName);
    if (!sFileName.isEmpty() && IsDeviceConnected() && file.open(QIODevice::ReadOnly))
        m_kavroComm.SendData(kParamsSet, file.readAll());
}

void MainWindow::on_saveButton_clicked()
{
    const QString sFileName = ChooseFile(m_saveFileDialog, tr("Save Uploaded Params"));
    if (sFileName.isEmpty() || !IsDeviceConnected())
        return;
    // The device answers on its upload topic; MessageUpdate writes the upload to this file.
    m_sUploadFilePath = sFileName;
    SendControlCommand(QStringLiteral("upload"), true);
}

void MainWindow::on_captureDlgButton_clicked()
{
    bool bLdrDisabled = false;
    if (const CControlBase* pControl = m_controls.value(QStringLiteral("DefResMode"), nullptr))
        bLdrDisabled = pControl->m_value.toInt() == 0;
    if (m_sSensorModel == kLdrSensorModel)
        bLdrDisabled = false;

    m_pCaptureDlg->SetLdrDisabled(bLdrDisabled);
    m_pCaptureDlg->exec();
    m_nCaptureState = CaptureDialog::kNoCapture;
}

// 1 or 2 starts a capture of the sensor or the HDMI path; the device answers 0 when its buffers are
// uploaded and 255 when the capture failed. The state is cleared before any box is shown, so a report
// that arrives while a box is open finds no capture pending.
void MainWindow::captureCommandSlot(int muxSel)
{
    const int nCaptureState = std::exchange(m_nCaptureState, CaptureDialog::kNoCapture);
    switch (muxSel) {
    case CaptureDialog::kCaptureSensor:
    case CaptureDialog::kCaptureHdmi:
        // The files of this capture hold what the device uploads for it, never an earlier capture's bytes.
        ClearCaptureBuffers();
        m_nCaptureState = muxSel;
        emit captureCommand(QStringLiteral("capture"), quint32(muxSel), false);
        break;
    case CaptureDialog::kCaptureDone:
        SaveCapture(nCaptureState);
        break;
    case CaptureDialog::kCaptureFailed:
        if (nCaptureState != CaptureDialog::kNoCapture) {
            m_pCaptureDlg->done(1);
            ShowWarning(tr("Capture"), tr("Capture Failed!"));
        }
        break;
    default:
        qDebug() << "unexpected capture command:" << muxSel;
        break;
    }
}

void MainWindow::SaveCapture(int nCaptureState)
{
    QList<QPair<QByteArray*, QString>> images;
    if (nCaptureState == CaptureDialog::kCaptureSensor && m_sSensorModel == kLdrSensorModel)
        images = { { &m_captureLdr, QStringLiteral("LDR") } };
    else if (nCaptureState == CaptureDialog::kCaptureSensor)
        images = { { &m_captureT1, QStringLiteral("T1") }, { &m_captureT2, QStringLiteral("T2") },
            { &m_captureT3, QStringLiteral("T3") } };
    else if (nCaptureState == CaptureDialog::kCaptureHdmi)
        images = { { &m_captureHdmi, QStringLiteral("HDMI") } };
    else
        return;

    for (const auto& image : qAsConst(images))
        SaveCaptureBuffer(image.first, m_pCaptureDlg->MakeFileName(image.second), QStringLiteral("tiff"));
    SaveCaptureBuffer(
        &m_captureMeta, m_pCaptureDlg->MakeFileName(QStringLiteral("META")), QStringLiteral("json"));
    m_pCaptureDlg->done(0);
    ShowWarning(tr("Capture"), tr("Capture Complete"));
}

// The About box's details: one line each for the FPGA, software, board and sensor, with the device's texts
// put in as they are.
QString MainWindow::DeviceVersions() const
{
    return QStringLiteral("FPGA:\tsvn rev: %1\t(%2)\nSW:\tsvn rev: %3\t\t(%4)\nBoard:\t%5\t(%6)\n"
                          "Sensor:\t%7\t\t(%8)\n")
        .arg(m_sFpgaVersion, m_sFpgaDate, m_sSoftwareVersion, m_sSoftwareDate, m_sBoardType, m_sBoardVersion,
            m_sSensorManufacturer, m_sSensorModel);
}

void MainWindow::on_btnAbout_clicked()
{
    QMessageBox box;
    box.setIcon(QMessageBox::Information);
    // Widens the text only; the icon keeps its own width.
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label{min-width: 200px;}"));
    box.setWindowTitle(tr("About"));
    box.setText(tr("Ombix Camera Control\nSystem Version:  %1\nBuilt: %2")
                    .arg(BuildInfo::Version(), BuildInfo::BuildDate()));
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Help);
    box.setDetailedText(m_kavroComm.m_bDeviceConnected ? DeviceVersions()
                                                       : tr("Must be connected to show detailed versions!"));
    if (box.exec() == QMessageBox::Help)
        m_openUrl(GuideUrl());
}

void MainWindow::onLogoButtonClicked() { m_openUrl(QUrl(kMakerHomePage, QUrl::TolerantMode)); }

void MainWindow::onLogoSensorButtonClicked() { m_openUrl(QUrl(kSensorProductPage, QUrl::TolerantMode)); }
