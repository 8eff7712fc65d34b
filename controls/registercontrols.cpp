// The table of the device parameters the main window shows: one control per parameter, bound to widgets
// of the window's form, stored in the controls map and connected to the window's ValueChanged slots.

#include "app/mainwindow.h"
#include "controls/cbinaryoption.h"
#include "controls/cbooleanoption.h"
#include "controls/ccomboboxoption.h"
#include "controls/cdoublesliderspinbox.h"
#include "controls/cmultioption.h"
#include "controls/sregisteredparam.h"
#include "ui_mainwindow.h"

#include <vector>

namespace {

enum class EKind
{
    Boolean,
    Binary,
    Multi,
    Slider,
    Combo
};

enum ERowFlag
{
    eNoFlags = 0,
    eEnabled = 1, // widgets enabled until the window's disconnected look takes over
    eReadOnly = 2,
    eHidden = 4, // registered and kept in step with the device, but never visible
};

struct SControlRow
{
    EKind eKind;
    QString sParamName;
    QObject* pWidget; // button, slider, combo box or button group, by kind; null: spin box only
    QDoubleSpinBox* pSpinBox;
    double value;
    double minValue;
    double maxValue;
    double stepValue;
    QMap<quint32, QString> options;
    int nCurrentIndex;
    QMap<QAbstractButton*, QVariant> buttonValues;
    int nFlags;
};

SControlRow Boolean(const char* sParamName, QAbstractButton* pButton, bool value, int nFlags = eNoFlags)
{
    return { EKind::Boolean, QString::fromLatin1(sParamName), pButton, nullptr, value ? 1.0 : 0.0, 0, 0, 0,
        {}, 0, {}, nFlags };
}

SControlRow Binary(const char* sParamName, QAbstractButton* pButton, quint32 value, int nFlags = eNoFlags)
{
    return { EKind::Binary, QString::fromLatin1(sParamName), pButton, nullptr, double(value), 0, 0, 0, {}, 0,
        {}, nFlags };
}

SControlRow Multi(const char* sParamName, QButtonGroup* pGroup,
    const QMap<QAbstractButton*, QVariant>& buttonValues, quint32 value)
{
    return { EKind::Multi, QString::fromLatin1(sParamName), pGroup, nullptr, double(value), 0, 0, 0, {}, 0,
        buttonValues, eNoFlags };
}

SControlRow Slider(const char* sParamName, QSlider* pSlider, QDoubleSpinBox* pSpinBox, double value,
    double minValue, double maxValue, double stepValue)
{
    return { EKind::Slider, QString::fromLatin1(sParamName), pSlider, pSpinBox, value, minValue, maxValue,
        stepValue, {}, 0, {}, eNoFlags };
}

SControlRow Combo(const char* sParamName, QComboBox* pComboBox, const QMap<quint32, QString>& options,
    int nCurrentIndex, quint32 value, int nFlags = eNoFlags)
{
    return { EKind::Combo, QString::fromLatin1(sParamName), pComboBox, nullptr, double(value), 0, 0, 0,
        options, nCurrentIndex, {}, nFlags };
}

std::vector<SControlRow> ControlRows(const Ui::MainWindow* ui)
{
    return {
        Boolean("tmEnable", ui->tonemapCB, true, eReadOnly | eHidden),
        Boolean("midBoost", ui->midBoostCB, false),
        Boolean("autoEVsEnable", ui->deltaEvCB, false),
        Boolean("autoCCMEnable", ui->accmCB, false),
        Boolean("awbUnity", ui->unityButton, false),
        Multi("freq", ui->sysFreqButtonGroup,
            { { ui->sysFreq50RB, QVariant(50) }, { ui->sysFreq60RB, QVariant(60) } }, 0),
        Boolean("autoGainEnable", ui->autoGainButton, false),
        Boolean("flipXY", ui->flipImageCB, false),
        Slider("aroGlobalGain", ui->sensorGainSlider, ui->sensorGainSpinBox, 1.0, 0.0, 10.0, 0.0),
        Slider("manualTAms", ui->exposureSlider, ui->exposureSpinBox, 1.0, 0.0, 16.66, 0.0),
        Slider("brightness", ui->brightnessSlider, ui->brightnessSpinBox, 0.0, -1.5, 0.0, 0.0),
        Slider("gamma", ui->gammaSlider, ui->gammaSpinBox, 0.0, -2.0, 4.0, 0.0),
        Slider("detail", ui->detailSlider, ui->detailSpinBox, 0.0, -8.0, 8.0, 0.0),
        Slider("saturation", ui->saturationSlider, ui->saturationSpinBox, 0.0, -8.0, 8.0, 0.0),
        Slider("blue/yellow", ui->blueYellowSlider, ui->blueYellowSpinBox, 0.0, -1.0, 1.0, 0.0),
        Slider("green/red", ui->greenRedSlider, ui->greenRedSpinBox, 0.0, -1.0, 1.0, 0.0),
        Slider("blackfix", ui->blackFixSlider, ui->blackFixSpinBox, 0.0, -12.0, 0.0, 0.0),
        Slider("vgComp", ui->vgCompSlider, ui->vgCompSpinBox, 0.0, 0.0, 1.0, 0.001),
        Slider("aeSpeed", ui->AESpeedSlider, ui->AESpeedSpinBox, 0.0, 0.0, 1.0, 0.01),
        Boolean("awbEn", ui->awbCB, false),
        Combo("highlightMode", ui->highlightsCmbBox,
            { { 5, "Highlights" }, { 3, "Mid Tones" }, { 1, "Shadows" } }, 1, 0, eEnabled),
        Boolean("autoExpEnable", ui->autoExpCB, false),
        Boolean("longExpEnable", ui->longExpCB, false, eReadOnly | eHidden),
        Boolean("lfmExpEnable", ui->lfmExpCB, false, eReadOnly | eHidden),
        Slider("awbDeltaMax", nullptr, ui->deltMaxSpinBox, 0.0, 0.0, 2.0, 0.0),
        Slider("awbWhiteLevel", nullptr, ui->whtLvlSpinBox, 1.0, 0.0, 16.0, 0.0),
        Slider("awbBlackLevel", nullptr, ui->blkLvlSpinBox, 1.0, 0.0, 16.0, 0.0),
        Binary("DenoiseEn", ui->denoiseEnableCB, 0),
        Slider("yNoiseThresh", ui->yThreshSlider, ui->yThreshSpinBox, 152.0, 0.0, 4095.0, 40.0),
        Slider("crcbNoiseThresh", ui->crcbThreshSlider, ui->crcbThreshSpinBox, 152.0, 0.0, 4095.0, 40.0),
        Binary("osdhist", ui->histoEnButton, 0, eReadOnly),
        Combo("osdcolor", ui->histoColorCmbBox, { { 0, "All" }, { 1, "Red" }, { 2, "Green" }, { 3, "Blue" } },
            0, 0),
        Combo("osdfoi", ui->histoFoiCmbBox, { { 0, "Long" }, { 1, "Middle" }, { 2, "Short" } }, 0, 0),
        Combo("osdloc", ui->histoLocCmbBox,
            { { 0, "Top Left" }, { 1, "Top Right" }, { 2, "Bot Left" }, { 3, "Bot Right" } }, 0, 0),
        Slider("w", ui->wSlider, ui->wSpinBox, 0.0, -8.0, 8.0, 0.0),
        Slider("blackLevel", ui->blackLevelSlider, ui->blackLevelSpinBox, 0.0, 0.0, 32.0, 1.0),
    };
}

} // namespace

std::vector<SRegisteredParam> RegisteredParams()
{
    QMainWindow window;
    Ui::MainWindow form;
    form.setupUi(&window);
    std::vector<SRegisteredParam> params;
    for (const SControlRow& row : ControlRows(&form)) {
        QStringList widgetNames;
        for (const QAbstractButton* pButton : row.buttonValues.keys())
            widgetNames << pButton->objectName();
        if (row.eKind != EKind::Multi && row.pWidget)
            widgetNames << row.pWidget->objectName();
        if (row.pSpinBox)
            widgetNames << row.pSpinBox->objectName();
        params.push_back({ row.sParamName, widgetNames, row.eKind == EKind::Slider,
            bool(row.nFlags & eReadOnly), bool(row.nFlags & eHidden) });
    }
    return params;
}

void MainWindow::RegisterControls()
{
    for (const SControlRow& row : ControlRows(ui.get())) {
        const bool bEnabled = row.nFlags & eEnabled;
        const bool bReadOnly = row.nFlags & eReadOnly;
        switch (row.eKind) {
        case EKind::Boolean:
            AddBooleanOption(nullptr, qobject_cast<QAbstractButton*>(row.pWidget), nullptr, row.sParamName,
                row.value != 0.0, bEnabled, bReadOnly);
            break;
        case EKind::Binary:
            AddBinaryOption(nullptr, qobject_cast<QAbstractButton*>(row.pWidget), nullptr, row.sParamName,
                quint32(row.value), bEnabled, bReadOnly);
            break;
        case EKind::Multi: {
            auto* pControl = new CMultiOption(qobject_cast<QButtonGroup*>(row.pWidget), row.sParamName,
                row.buttonValues, quint32(row.value), bEnabled, bReadOnly);
            m_controls[row.sParamName] = pControl;
            connect(pControl, SIGNAL(ValueChanged(QString, quint32, bool)), this,
                SLOT(ValueChanged(QString, quint32, bool)));
            break;
        }
        case EKind::Slider:
            AddDoubleSliderSpinBox(qobject_cast<QSlider*>(row.pWidget), row.pSpinBox, row.sParamName,
                row.value, row.minValue, row.maxValue, row.stepValue, bEnabled, bReadOnly);
            break;
        case EKind::Combo: {
            CComboBoxOptions options;
            options.m_options = row.options;
            options.m_nCurrentIndex = row.nCurrentIndex;
            AddComboBoxOption(qobject_cast<QComboBox*>(row.pWidget), row.sParamName, options,
                quint32(row.value), bEnabled, bReadOnly);
            break;
        }
        }
        if (row.nFlags & eHidden)
            qobject_cast<QWidget*>(row.pWidget)->setVisible(false);
    }
}

void MainWindow::AddBooleanOption(QButtonGroup* pGroup, QAbstractButton* pButton,
    QAbstractButton* pSecondButton, QString sParamName, bool value, bool bEnabled, bool bReadOnly)
{
    auto* pControl
        = new CBooleanOption(pGroup, pButton, pSecondButton, sParamName, value, bEnabled, bReadOnly);
    m_controls[sParamName] = pControl;
    connect(pControl, SIGNAL(ValueChanged(QString, bool)), this, SLOT(ValueChanged(QString, bool)));
}

void MainWindow::AddBinaryOption(QButtonGroup* pGroup, QAbstractButton* pButton,
    QAbstractButton* pSecondButton, QString sParamName, quint32 value, bool bEnabled, bool bReadOnly)
{
    auto* pControl
        = new CBinaryOption(pGroup, pButton, pSecondButton, sParamName, value, bEnabled, bReadOnly);
    m_controls[sParamName] = pControl;
    connect(pControl, SIGNAL(ValueChanged(QString, quint32, bool)), this,
        SLOT(ValueChanged(QString, quint32, bool)));
}

void MainWindow::AddComboBoxOption(QComboBox* pComboBox, QString sParamName, const CComboBoxOptions& options,
    quint32 value, bool bEnabled, bool bReadOnly)
{
    auto* pControl = new CComboBoxOption(pComboBox, sParamName, options, value, bEnabled, bReadOnly);
    m_controls[sParamName] = pControl;
    connect(pControl, SIGNAL(ValueChanged(QString, quint32, bool)), this,
        SLOT(ValueChanged(QString, quint32, bool)));
}

void MainWindow::AddDoubleSliderSpinBox(QSlider* pSlider, QDoubleSpinBox* pSpinBox, QString sParamName,
    double value, double minValue, double maxValue, double stepValue, bool bEnabled, bool bReadOnly)
{
    auto* pControl = new CDoubleSliderSpinBox(
        pSlider, pSpinBox, sParamName, value, minValue, maxValue, stepValue, bEnabled, bReadOnly);
    m_controls[sParamName] = pControl;
    connect(pControl, SIGNAL(ValueChanged(QString, double, bool)), this,
        SLOT(ValueChanged(QString, double, bool)));
}
