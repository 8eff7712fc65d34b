#include "dialogs/capturedialog.h"

#include "ui_capturedialog.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {
const QString kDefaultBaseFileName = QStringLiteral("capture.tiff");
}

CaptureDialog::CaptureDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::CaptureDialog)
    , m_sPath(QDir::currentPath())
    , m_sBaseFileName(kDefaultBaseFileName)
{
    ui->setupUi(this);
    UpdateFields();
}

CaptureDialog::~CaptureDialog() { delete ui; }

void CaptureDialog::UpdateFields()
{
    if (ui->defaultNameCheckBox->isChecked()) {
        ui->baseFileNameLineEdit->setEnabled(false);
        m_sBaseFileName = kDefaultBaseFileName;
    } else {
        ui->baseFileNameLineEdit->setEnabled(true);
    }
    ui->baseFileNameLineEdit->setText(m_sBaseFileName);
    ui->pathLineEdit->setText(m_sPath);
}

void CaptureDialog::SetLdrDisabled(bool bDisabled)
{
    ui->ldrRadioButton->setEnabled(!bDisabled);
    // A disabled path must not stay selected, or Capture would still request it.
    if (bDisabled && ui->ldrRadioButton->isChecked())
        ui->hdmiRadioButton->setChecked(true);
    ui->captureButton->setEnabled(true);
}

QString CaptureDialog::MakeFileName(QString sSuffix)
{
    // Only the name part counts: a typed folder part is dropped, and so is the last extension.
    QString sName = QFileInfo(ui->baseFileNameLineEdit->text()).completeBaseName() + "_" + sSuffix;
    if (ui->appendDateCheckBox->isChecked())
        sName += "_" + m_sTimeStamp;
    return m_sPath + "/" + sName;
}

QString CaptureDialog::ChooseFolder()
{
    return QFileDialog::getExistingDirectory(
        nullptr, tr("Select Image Folder"), m_sPath, QFileDialog::ShowDirsOnly);
}

void CaptureDialog::on_captureButton_clicked()
{
    const bool bSensor = ui->ldrRadioButton->isChecked();
    if (!bSensor && !ui->hdmiRadioButton->isChecked())
        return;

    ui->captureButton->setEnabled(false);
    m_sTimeStamp = QDateTime::currentDateTime().toString("yyyy_MM_dd_hhmmss");
    emit startCapture(bSensor ? kCaptureSensor : kCaptureHdmi);
}

void CaptureDialog::on_pathPushButton_clicked()
{
    const QString sFolder = ChooseFolder();
    if (sFolder.isEmpty())
        return;
    m_sPath = sFolder;
    UpdateFields();
}

void CaptureDialog::on_baseFileNameLineEdit_textEdited(QString arg1) { m_sBaseFileName = arg1; }

void CaptureDialog::on_defaultNameCheckBox_clicked(bool checked)
{
    Q_UNUSED(checked)
    UpdateFields();
}
