#include "ui_mainwindow.h"

#include <QImageReader>
#include <QMetaEnum>
#include <QtTest>

// The widget tree that Ui::MainWindow builds, before any behaviour is attached: one row per named object
// with the properties the window, the controls and the user rely on. The special keys are
//   at       the layout cell holding the object: "layout[index]", "grid(row,col)", "grid(row,col,rs,cs)",
//            "form(row,label|field)";
//   parent   the QObject parent's object name;
//   layout   the object name of the widget's own layout;
//   content  the central widget of a window, the scrolled widget of a scroll area;
//   buttons  the buttons of a button group, comma-separated;
//   policy   "Horizontal/Vertical" size policy;
//   margins  "left,top,right,bottom" contents margins of a layout;
//   cursor, pointSize   cursor shape and font size.
// Every other key is a Qt property compared with the expected value.

namespace {

struct FormRow
{
    QString m_sName;
    QString m_sClass;
    QVariantMap m_props;
};

const QString kSpinBoxStyle = QStringLiteral("background-color: rgb(165, 248, 248);");
const QString kButtonStyle = QStringLiteral("background-color: rgb(180, 204, 221);");
const int kRight = int(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
const int kLabelDefault = int(Qt::AlignLeft | Qt::AlignVCenter);

QVariantMap merged(QVariantMap base, const QVariantMap& overrides)
{
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
        base.insert(it.key(), it.value());
    return base;
}

QVector<FormRow> buildRows()
{
    QVector<FormRow> rows;
    auto add = [&rows](const char* pszName, const char* pszClass, const QVariantMap& props) {
        rows.append({ pszName, pszClass, props });
    };
    auto layout = [&add](const char* pszName, const char* pszClass, const char* pszParent, const char* pszAt,
                      const char* pszMargins) {
        QVariantMap props { { "parent", pszParent }, { "spacing", 6 }, { "margins", pszMargins } };
        if (pszAt)
            props.insert("at", pszAt);
        add(pszName, pszClass, props);
    };
    auto label
        = [&add](const char* pszName, const char* pszAt, const char* pszText, const QVariantMap& extra) {
              add(pszName, "QLabel",
                  merged({ { "at", pszAt }, { "text", pszText }, { "alignment", kRight } }, extra));
          };
    auto slider = [&add](const char* pszName, const char* pszAt, const QVariantMap& extra) {
        add(pszName, "QSlider",
            merged({ { "at", pszAt }, { "enabled", false }, { "orientation", int(Qt::Horizontal) },
                       { "minimumHeight", 20 }, { "minimum", 0 }, { "maximum", 99 }, { "singleStep", 1 },
                       { "pageStep", 10 }, { "value", 0 } },
                extra));
    };
    auto spinBox = [&add](const char* pszName, const char* pszAt, const QVariantMap& extra) {
        add(pszName, "QDoubleSpinBox",
            merged({ { "at", pszAt }, { "enabled", false }, { "minimumWidth", 51 },
                       { "policy", "Minimum/Fixed" }, { "styleSheet", kSpinBoxStyle }, { "decimals", 2 },
                       { "minimum", 0.0 }, { "maximum", 99.99 }, { "singleStep", 1.0 }, { "value", 0.0 } },
                extra));
    };
    auto button = [&add](const char* pszName, const char* pszClass, const char* pszAt, const char* pszText,
                      const QVariantMap& extra) {
        add(pszName, pszClass,
            merged(
                { { "at", pszAt }, { "text", pszText }, { "enabled", true }, { "checked", false } }, extra));
    };
    const QVariantMap fixed { { "policy", "Fixed/Fixed" } };
    const QVariantMap width80 { { "minimumWidth", 80 } };
    const QVariantMap disabled { { "enabled", false } };
    const QVariantMap styled { { "styleSheet", kButtonStyle } };

    // Frame, scroll area and the two columns.
    add("MainWindow", "QMainWindow",
        { { "size", QSize(1207, 700) }, { "minimumSize", QSize(720, 700) },
            { "policy", "Preferred/Preferred" }, { "windowTitle", "Ombix Camera Control" },
            { "content", "centralWidget" } });
    add("centralWidget", "QWidget", { { "parent", "MainWindow" }, { "layout", "horizontalLayout_15" } });
    layout("horizontalLayout_15", "QHBoxLayout", "centralWidget", nullptr, "11,11,11,11");
    add("scrollArea", "QScrollArea",
        { { "at", "horizontalLayout_15[0]" }, { "frameShape", int(QFrame::NoFrame) },
            { "frameShadow", int(QFrame::Sunken) }, { "widgetResizable", true },
            { "content", "scrollAreaWidgetContents" } });
    add("scrollAreaWidgetContents", "QWidget", { { "layout", "horizontalLayout_13" } });
    layout("horizontalLayout_13", "QHBoxLayout", "scrollAreaWidgetContents", nullptr, "11,11,11,11");
    add("widgetControls", "QWidget",
        { { "at", "horizontalLayout_13[0]" }, { "parent", "scrollAreaWidgetContents" },
            { "minimumSize", QSize(600, 100) }, { "layout", "verticalLayout_9" } });
    add("advancedGroupBox", "QGroupBox",
        { { "at", "horizontalLayout_13[1]" }, { "parent", "scrollAreaWidgetContents" },
            { "title", "Advanced" }, { "layout", "verticalLayout_6" } });
    layout("verticalLayout_9", "QVBoxLayout", "widgetControls", nullptr, "0,0,0,0");

    // Logo row.
    add("widget_2", "QWidget",
        { { "at", "verticalLayout_9[0]" }, { "policy", "Preferred/Fixed" },
            { "layout", "horizontalLayout_11" } });
    layout("horizontalLayout_11", "QHBoxLayout", "widget_2", nullptr, "0,0,0,0");
    button("logoButton", "QPushButton", "horizontalLayout_11[0]", "",
        { { "policy", "Fixed/Fixed" }, { "minimumSize", QSize(130, 100) }, { "maximumSize", QSize(130, 100) },
            { "cursor", int(Qt::PointingHandCursor) }, { "styleSheet", "border: none;" },
            { "toolTip", "Website" } });
    add("widget_3", "QWidget", { { "at", "horizontalLayout_11[2]" }, { "layout", "verticalLayout_8" } });
    layout("verticalLayout_8", "QVBoxLayout", "widget_3", nullptr, "11,11,11,11");
    button("viewConfigDataButton", "QPushButton", "verticalLayout_8[0]", "View Config", disabled);
    add("widget_4", "QWidget", { { "at", "horizontalLayout_11[4]" }, { "layout", "gridLayout_3" } });
    layout("gridLayout_3", "QGridLayout", "widget_4", nullptr, "11,11,11,11");
    button("logoSensorButton", "QPushButton", "gridLayout_3(0,0)", "",
        { { "policy", "Fixed/Fixed" }, { "minimumSize", QSize(191, 51) },
            { "cursor", int(Qt::PointingHandCursor) },
            { "styleSheet", "border-image: url(:/sensor-vendor.png); border: none;" },
            { "toolTip", "Website" } });
    label("sensorLabel", "gridLayout_3(1,0)", "AR0239AT",
        { { "alignment", int(Qt::AlignCenter) }, { "pointSize", 11 } });

    // Connection, Commands, Application.
    add("widget", "QWidget", { { "at", "verticalLayout_9[1]" }, { "layout", "horizontalLayout_8" } });
    layout("horizontalLayout_8", "QHBoxLayout", "widget", nullptr, "0,0,0,0");
    add("groupBox_3", "QGroupBox",
        { { "at", "horizontalLayout_8[0]" }, { "title", "Connection" }, { "layout", "verticalLayout" } });
    layout("verticalLayout", "QVBoxLayout", "groupBox_3", nullptr, "0,0,0,0");
    layout("horizontalLayout", "QHBoxLayout", "verticalLayout", "verticalLayout[0]", "4,4,4,4");
    label("label_2", "horizontalLayout[0]", "Camera URL:", {});
    add("leBrokerURL", "QLineEdit",
        { { "at", "horizontalLayout[1]" }, { "text", "" }, { "minimumSize", QSize(100, 20) },
            { "maximumHeight", 20 } });
    label("label_3", "horizontalLayout[2]", "Port:", {});
    add("leBrokerPort", "QLineEdit",
        { { "at", "horizontalLayout[3]" }, { "text", "1883" }, { "maxLength", 6 },
            { "minimumSize", QSize(50, 20) }, { "maximumSize", QSize(56, 20) } });
    button("btnConnect", "QPushButton", "horizontalLayout[4]", "Connect", fixed);
    add("groupBox_2", "QGroupBox",
        { { "at", "horizontalLayout_8[1]" }, { "title", "Commands" }, { "layout", "verticalLayout_2" } });
    layout("verticalLayout_2", "QVBoxLayout", "groupBox_2", nullptr, "0,0,0,0");
    layout("horizontalLayout_10", "QHBoxLayout", "verticalLayout_2", "verticalLayout_2[0]", "4,4,4,4");
    button("btnLoadDefaults", "QPushButton", "horizontalLayout_10[0]", "Defaults", {});
    add("groupBox", "QGroupBox",
        { { "at", "horizontalLayout_8[2]" }, { "title", "Application" }, { "layout", "verticalLayout_3" } });
    layout("verticalLayout_3", "QVBoxLayout", "groupBox", nullptr, "0,0,0,0");
    layout("horizontalLayout_4", "QHBoxLayout", "verticalLayout_3", "verticalLayout_3[0]", "4,4,4,4");
    button("btnAbout", "QPushButton", "horizontalLayout_4[0]", "About",
        merged(styled, { { "minimumSize", QSize(50, 23) } }));
    button("resizeButton", "QPushButton", "horizontalLayout_4[1]", "Advanced",
        merged(styled, { { "checkable", true } }));

    // Settings grid.
    add("settingsGroupBox", "QGroupBox",
        { { "at", "verticalLayout_9[2]" }, { "title", "Settings" }, { "minimumHeight", 300 },
            { "layout", "gridLayout" } });
    layout("gridLayout", "QGridLayout", "settingsGroupBox", nullptr, "11,11,11,11");
    layout("horizontalLayout_2", "QHBoxLayout", "gridLayout", "gridLayout(0,0,1,6)", "0,0,0,0");
    label("fileLabel", "horizontalLayout_2[0]",
        "File:", { { "policy", "Fixed/Preferred" }, { "minimumWidth", 40 }, { "maximumWidth", 80 } });
    add("leFileName", "QLineEdit", { { "at", "horizontalLayout_2[1]" }, { "text", "<no file selected>" } });
    button("loadButton", "QPushButton", "horizontalLayout_2[2]", "Load", merged(styled, disabled));
    button("saveButton", "QPushButton", "horizontalLayout_2[3]", "Save", merged(styled, disabled));
    button("captureDlgButton", "QPushButton", "horizontalLayout_2[4]", "Capture",
        merged(merged(styled, disabled), fixed));
    layout("horizontalLayout_9", "QHBoxLayout", "gridLayout", "gridLayout(1,0,1,6)", "0,0,0,0");
    button("autoGainButton", "QPushButton", "horizontalLayout_9[0]", "AutoGain",
        merged(merged(styled, disabled), { { "checkable", true }, { "policy", "Fixed/Fixed" } }));
    label("sysFreqLabel", "horizontalLayout_9[2]", "AC freq", { { "alignment", kLabelDefault } });
    button("sysFreq50RB", "QRadioButton", "horizontalLayout_9[3]", "50", disabled);
    button("sysFreq60RB", "QRadioButton", "horizontalLayout_9[4]", "60",
        { { "enabled", false }, { "checked", true } });
    button("tonemapCB", "QCheckBox", "horizontalLayout_9[5]", "Tone Map", { { "checked", true } });
    button("flipImageCB", "QCheckBox", "horizontalLayout_9[6]", "Rotate 180", disabled);
    add("sysFreqButtonGroup", "QButtonGroup",
        { { "parent", "MainWindow" }, { "exclusive", true }, { "buttons", "sysFreq50RB,sysFreq60RB" } });

    label("sensorGainLabel", "gridLayout(2,0)", "Gain:", width80);
    slider("sensorGainSlider", "gridLayout(2,1)", {});
    spinBox("sensorGainSpinBox", "gridLayout(2,2)", { { "singleStep", 0.01 } });
    label("saturationLabel", "gridLayout(2,3)", "Saturation:", width80);
    slider("saturationSlider", "gridLayout(2,4)", {});
    spinBox("saturationSpinBox", "gridLayout(2,5)",
        { { "decimals", 1 }, { "maximum", 100.0 }, { "singleStep", 0.1 } });
    label("sensorExposureLabel", "gridLayout(3,0)", "Exposure (ms):", width80);
    slider("exposureSlider", "gridLayout(3,1)", {});
    spinBox("exposureSpinBox", "gridLayout(3,2)", { { "singleStep", 0.01 } });
    label("blueYellowLabel", "gridLayout(3,3)", "Yellow/Blue:", width80);
    slider("blueYellowSlider", "gridLayout(3,4)", {});
    spinBox("blueYellowSpinBox", "gridLayout(3,5)", { { "singleStep", 0.01 } });
    label("brightnessLabel", "gridLayout(4,0)", "Brightness:", width80);
    slider("brightnessSlider", "gridLayout(4,1)", {});
    spinBox("brightnessSpinBox", "gridLayout(4,2)",
        { { "decimals", 1 }, { "maximum", 100.0 }, { "singleStep", 0.1 } });
    label("greenRedLabel", "gridLayout(4,3)", "Green/Red:", width80);
    slider("greenRedSlider", "gridLayout(4,4)", {});
    spinBox("greenRedSpinBox", "gridLayout(4,5)", { { "singleStep", 0.01 } });
    label("gammaLabel", "gridLayout(5,0)", "Gamma:", width80);
    slider("gammaSlider", "gridLayout(5,1)", {});
    spinBox("gammaSpinBox", "gridLayout(5,2)", { { "singleStep", 0.01 } });
    label("vgCompLabel", "gridLayout(5,3)", "VG Comp:", {});
    slider("vgCompSlider", "gridLayout(5,4)", { { "maximum", 999 }, { "value", 1 } });
    spinBox("vgCompSpinBox", "gridLayout(5,5)",
        { { "decimals", 3 }, { "maximum", 99.999 }, { "singleStep", 0.001 } });
    label("blackFixLabel_2", "gridLayout(6,0)", "Enhancement:", merged(width80, { { "wordWrap", true } }));
    button("midBoostCB", "QCheckBox", "gridLayout(6,1)", "Mid-tone Boost", disabled);
    label("motionArtifactsLabel", "gridLayout(6,3)", "Motion Artifacts:", {});
    slider("blackFixSlider", "gridLayout(6,4)", {});
    spinBox("blackFixSpinBox", "gridLayout(6,5)",
        { { "decimals", 1 }, { "maximum", 100.0 }, { "singleStep", 0.1 } });
    label("detailLabel", "gridLayout(7,3)", "Detail:", width80);
    slider("detailSlider", "gridLayout(7,4)", {});
    spinBox("detailSpinBox", "gridLayout(7,5)", { { "singleStep", 0.1 } });

    // Auto exposure.
    add("groupBox_6", "QGroupBox",
        { { "at", "verticalLayout_9[3]" }, { "title", "Auto Exposure" },
            { "layout", "horizontalLayout_6" } });
    layout("horizontalLayout_6", "QHBoxLayout", "groupBox_6", nullptr, "11,11,11,11");
    layout("horizontalLayout_3", "QHBoxLayout", "horizontalLayout_6", "horizontalLayout_6[0]", "0,0,0,0");
    button("autoExpCB", "QCheckBox", "horizontalLayout_3[0]", "Enable", merged(disabled, fixed));
    button("deltaEvCB", "QCheckBox", "horizontalLayout_3[1]", "WP Monitor", merged(disabled, fixed));
    button("longExpCB", "QCheckBox", "horizontalLayout_3[2]", "Low Light", merged(disabled, fixed));
    button("lfmExpCB", "QCheckBox", "horizontalLayout_3[3]", "LFMUnlock", merged(disabled, fixed));
    label(
        "highlightsLabel", "horizontalLayout_6[1]", "AE Priority", { { "alignment", int(Qt::AlignCenter) } });
    add("highlightsCmbBox", "QComboBox",
        { { "at", "horizontalLayout_6[2]" }, { "enabled", true }, { "editable", false },
            { "maxVisibleItems", 5 }, { "count", 0 }, { "currentIndex", -1 } });
    label("maxEvOffsetLabel_2", "horizontalLayout_6[3]",
        "AE Speed:", { { "policy", "Expanding/Preferred" }, { "minimumWidth", 20 } });
    slider("AESpeedSlider", "horizontalLayout_6[4]", {});
    spinBox("AESpeedSpinBox", "horizontalLayout_6[5]", { { "singleStep", 0.1 } });

    // White balance and noise reduction.
    add("widget_5", "QWidget", { { "at", "verticalLayout_9[4]" }, { "layout", "horizontalLayout_14" } });
    layout("horizontalLayout_14", "QHBoxLayout", "widget_5", nullptr, "0,0,0,0");
    add("awbGroupBox", "QGroupBox",
        { { "at", "horizontalLayout_14[0]" }, { "title", "Auto White Balance" },
            { "layout", "horizontalLayout_7" } });
    layout("horizontalLayout_7", "QHBoxLayout", "awbGroupBox", nullptr, "11,11,11,11");
    layout("horizontalLayout_12", "QHBoxLayout", "horizontalLayout_7", "horizontalLayout_7[0]", "0,0,0,0");
    button("awbCB", "QCheckBox", "horizontalLayout_12[0]", "Enable", merged(disabled, fixed));
    button("accmCB", "QCheckBox", "horizontalLayout_12[1]", "ACCM", merged(disabled, fixed));
    button("unityButton", "QPushButton", "horizontalLayout_12[2]", "Unity", fixed);
    add("denoiseGroupBox", "QGroupBox",
        { { "at", "horizontalLayout_14[1]" }, { "title", "Noise Reduction" },
            { "policy", "Preferred/Minimum" }, { "layout", "formLayout" } });
    layout("formLayout", "QFormLayout", "denoiseGroupBox", nullptr, "11,11,11,11");
    button("denoiseEnableCB", "QCheckBox", "formLayout(0,label)", "Enable", merged(disabled, fixed));
    layout("gridLayout_4", "QGridLayout", "formLayout", "formLayout(0,field)", "0,0,0,0");
    label("yThreshLabel", "gridLayout_4(0,0)", "Y Thresh:", width80);
    slider("yThreshSlider", "gridLayout_4(0,1)", { { "maximum", 4095 }, { "singleStep", 20 } });
    spinBox("yThreshSpinBox", "gridLayout_4(0,2)",
        { { "decimals", 0 }, { "maximum", 4095.0 }, { "singleStep", 20.0 } });
    label("crcbThreshLabel", "gridLayout_4(1,0)", "CrCb Thresh:", width80);
    slider("crcbThreshSlider", "gridLayout_4(1,1)", { { "maximum", 4095 }, { "singleStep", 20 } });
    spinBox("crcbThreshSpinBox", "gridLayout_4(1,2)",
        { { "decimals", 0 }, { "maximum", 4095.0 }, { "singleStep", 20.0 } });

    // Advanced panel.
    layout("verticalLayout_6", "QVBoxLayout", "advancedGroupBox", nullptr, "11,11,11,11");
    add("teMessages", "QPlainTextEdit",
        { { "at", "verticalLayout_6[0]" }, { "lineWidth", 200 }, { "readOnly", false },
            { "plainText", "" } });
    add("histoGroupBox", "QGroupBox",
        { { "at", "verticalLayout_6[1]" }, { "title", "Histogram" }, { "policy", "Expanding/Fixed" },
            { "checkable", false }, { "layout", "gridLayout_2" } });
    layout("gridLayout_2", "QGridLayout", "histoGroupBox", nullptr, "11,11,11,11");
    label("histoColorLabel", "gridLayout_2(0,1)", "Color", { { "alignment", kLabelDefault } });
    label("histoFoiLabel", "gridLayout_2(0,2)", "FOI", { { "alignment", kLabelDefault } });
    label("histoLocLabel", "gridLayout_2(0,3)", "Location", { { "alignment", kLabelDefault } });
    button("histoEnButton", "QPushButton", "gridLayout_2(1,0)", "Histogram Enable",
        merged(styled, { { "checkable", true }, { "policy", "Preferred/Fixed" } }));
    const QVariantMap histoCombo { { "parent", "histoGroupBox" }, { "enabled", false }, { "editable", false },
        { "policy", "Preferred/Fixed" }, { "count", 0 }, { "currentIndex", -1 } };
    add("histoColorCmbBox", "QComboBox",
        merged(histoCombo, { { "at", "gridLayout_2(1,1)" }, { "maxVisibleItems", 4 } }));
    add("histoFoiCmbBox", "QComboBox",
        merged(histoCombo, { { "at", "gridLayout_2(1,2)" }, { "maxVisibleItems", 3 } }));
    add("histoLocCmbBox", "QComboBox",
        merged(histoCombo, { { "at", "gridLayout_2(1,3)" }, { "maxVisibleItems", 4 } }));
    add("groupBox_4", "QGroupBox",
        { { "at", "verticalLayout_6[2]" }, { "title", "AWB Adjust" }, { "layout", "verticalLayout_5" } });
    layout("verticalLayout_5", "QVBoxLayout", "groupBox_4", nullptr, "11,11,11,11");
    layout("horizontalLayout_5", "QHBoxLayout", "verticalLayout_5", "verticalLayout_5[0]", "0,0,0,0");
    const QVariantMap strongFocus { { "focusPolicy", int(Qt::StrongFocus) } };
    const QVariantMap awbSpinBox { { "policy", "Fixed/Fixed" }, { "singleStep", 0.01 } };
    label("awbDeltaMaxLabel", "horizontalLayout_5[0]", "Delta Max:", strongFocus);
    spinBox("deltMaxSpinBox", "horizontalLayout_5[1]", merged(awbSpinBox, { { "value", 0.5 } }));
    label("awbWhiteLevelLabel", "horizontalLayout_5[2]", "White Level:", strongFocus);
    spinBox("whtLvlSpinBox", "horizontalLayout_5[3]", merged(awbSpinBox, { { "value", 14.5 } }));
    label("awbBlackLevelLabel", "horizontalLayout_5[4]", "Black Level:", strongFocus);
    spinBox("blkLvlSpinBox", "horizontalLayout_5[5]", merged(awbSpinBox, { { "value", 5.0 } }));
    layout("gridLayout_5", "QGridLayout", "verticalLayout_6", "verticalLayout_6[3]", "0,0,10,0");
    label("greenRedLabel_2", "gridLayout_5(0,0)", "Local contrast:", width80);
    slider("wSlider", "gridLayout_5(0,1)", {});
    spinBox(
        "wSpinBox", "gridLayout_5(0,2)", { { "decimals", 1 }, { "maximum", 100.0 }, { "singleStep", 0.1 } });
    label("blackLevelLabel", "gridLayout_5(1,0)", "Black Level:", width80);
    slider("blackLevelSlider", "gridLayout_5(1,1)", {});
    spinBox("blackLevelSpinBox", "gridLayout_5(1,2)",
        { { "decimals", 0 }, { "maximum", 511.0 }, { "singleStep", 10.0 } });
    return rows;
}

// Where a widget or a nested layout sits in the layouts of the window, as described above.
QString placement(QMainWindow* pWindow, QObject* pObject)
{
    for (QLayout* pLayout : pWindow->findChildren<QLayout*>()) {
        if (pLayout == pWindow->layout())
            continue;
        for (int i = 0; i < pLayout->count(); ++i) {
            QLayoutItem* pItem = pLayout->itemAt(i);
            if (pItem->widget() != pObject && pItem->layout() != pObject)
                continue;
            const QString sName = pLayout->objectName();
            int nRow, nColumn, nRowSpan, nColumnSpan;
            if (auto* pGrid = qobject_cast<QGridLayout*>(pLayout)) {
                pGrid->getItemPosition(i, &nRow, &nColumn, &nRowSpan, &nColumnSpan);
                if (nRowSpan == 1 && nColumnSpan == 1)
                    return QString("%1(%2,%3)").arg(sName).arg(nRow).arg(nColumn);
                return QString("%1(%2,%3,%4,%5)")
                    .arg(sName)
                    .arg(nRow)
                    .arg(nColumn)
                    .arg(nRowSpan)
                    .arg(nColumnSpan);
            }
            if (auto* pForm = qobject_cast<QFormLayout*>(pLayout)) {
                QFormLayout::ItemRole role;
                pForm->getItemPosition(i, &nRow, &role);
                return QString("%1(%2,%3)")
                    .arg(sName)
                    .arg(nRow)
                    .arg(role == QFormLayout::LabelRole ? "label" : "field");
            }
            return QString("%1[%2]").arg(sName).arg(i);
        }
    }
    return QString();
}

QString policyName(QSizePolicy::Policy policy)
{
    return QMetaEnum::fromType<QSizePolicy::Policy>().valueToKey(policy);
}

// Reads one key of the row from the object; enum and flag properties come back as int.
QVariant readKey(QMainWindow* pWindow, QObject* pObject, const QString& sKey)
{
    auto* pWidget = qobject_cast<QWidget*>(pObject);
    if (sKey == "at")
        return placement(pWindow, pObject);
    if (sKey == "parent")
        return pObject->parent() ? pObject->parent()->objectName() : QString();
    if (sKey == "layout")
        return pWidget && pWidget->layout() ? pWidget->layout()->objectName() : QString();
    if (sKey == "content") {
        if (auto* pMain = qobject_cast<QMainWindow*>(pObject))
            return pMain->centralWidget()->objectName();
        return qobject_cast<QScrollArea*>(pObject)->widget()->objectName();
    }
    if (sKey == "buttons") {
        QStringList names;
        for (QAbstractButton* pButton : qobject_cast<QButtonGroup*>(pObject)->buttons())
            names << pButton->objectName();
        return names.join(',');
    }
    if (sKey == "policy") {
        const QSizePolicy policy = pWidget->sizePolicy();
        return policyName(policy.horizontalPolicy()) + "/" + policyName(policy.verticalPolicy());
    }
    if (sKey == "margins") {
        const QMargins margins = qobject_cast<QLayout*>(pObject)->contentsMargins();
        return QString("%1,%2,%3,%4")
            .arg(margins.left())
            .arg(margins.top())
            .arg(margins.right())
            .arg(margins.bottom());
    }
    if (sKey == "cursor")
        return int(pWidget->cursor().shape());
    if (sKey == "pointSize")
        return pWidget->font().pointSize();

    const QMetaObject* pMeta = pObject->metaObject();
    const int nIndex = pMeta->indexOfProperty(qPrintable(sKey));
    if (nIndex < 0)
        return QVariant();
    const QMetaProperty property = pMeta->property(nIndex);
    const QVariant value = property.read(pObject);
    if (property.isEnumType() || property.isFlagType())
        return *static_cast<const int*>(value.constData());
    return value;
}

QObject* findObject(QMainWindow* pWindow, const QString& sName)
{
    if (pWindow->objectName() == sName)
        return pWindow;
    const QList<QObject*> found = pWindow->findChildren<QObject*>(sName);
    return found.size() == 1 ? found.first() : nullptr;
}

} // namespace

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void widgetTree_data();
    void widgetTree();
    void everyNamedWidgetIsListed();
    void resourcesLoad_data();
    void resourcesLoad();

private:
    QMainWindow* m_pWindow = nullptr;
    Ui::MainWindow m_ui;
};

void TestMainWindowForm::initTestCase()
{
    m_pWindow = new QMainWindow;
    m_ui.setupUi(m_pWindow);
}

void TestMainWindowForm::cleanupTestCase()
{
    delete m_pWindow;
    m_pWindow = nullptr;
}

void TestMainWindowForm::widgetTree_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QVariantMap>("props");

    for (const FormRow& row : buildRows())
        QTest::newRow(qPrintable(row.m_sName)) << row.m_sClass << row.m_props;
}

void TestMainWindowForm::widgetTree()
{
    QFETCH(QString, className);
    QFETCH(QVariantMap, props);

    const QString sName = QTest::currentDataTag();
    QObject* pObject = findObject(m_pWindow, sName);
    QVERIFY2(pObject, qPrintable("no single object named " + sName));
    if (pObject != m_pWindow)
        QCOMPARE(QString(pObject->metaObject()->className()), className);

    for (auto it = props.cbegin(); it != props.cend(); ++it) {
        const QVariant actual = readKey(m_pWindow, pObject, it.key());
        const QVariant& expected = it.value();
        const QString sWhat
            = sName + "." + it.key() + ": " + actual.toString() + " != " + expected.toString();
        QVERIFY2(actual.isValid(), qPrintable(sName + " has no " + it.key()));
        if (expected.userType() == QMetaType::Double)
            QVERIFY2(qFuzzyCompare(1.0 + actual.toDouble(), 1.0 + expected.toDouble()), qPrintable(sWhat));
        else if (expected.userType() == QMetaType::QString)
            QVERIFY2(actual.toString() == expected.toString(), qPrintable(sWhat));
        else
            QVERIFY2(actual == expected, qPrintable(sWhat));
    }
}

// No stray widget or layout beside the tree above (Qt's own helpers are named qt_*).
void TestMainWindowForm::everyNamedWidgetIsListed()
{
    QSet<QString> listed;
    for (const FormRow& row : buildRows())
        listed.insert(row.m_sName);

    QStringList unlisted;
    for (QObject* pObject : m_pWindow->findChildren<QObject*>()) {
        const QString sName = pObject->objectName();
        const bool bOwn = qobject_cast<QWidget*>(pObject)
            || (qobject_cast<QLayout*>(pObject) && pObject != m_pWindow->layout())
            || qobject_cast<QButtonGroup*>(pObject);
        if (bOwn && !sName.isEmpty() && !sName.startsWith("qt_") && !listed.contains(sName))
            unlisted << sName;
    }
    QVERIFY2(unlisted.isEmpty(), qPrintable(unlisted.join(", ")));
}

// The images the window and the executable use are compiled in and readable at their sizes.
void TestMainWindowForm::resourcesLoad_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("sizes");

    QTest::newRow("window icon") << ":/icon.svg"
                                 << "256x256";
    QTest::newRow("maker's logo") << ":/logo.svg"
                                  << "130x100";
    QTest::newRow("sensor button image") << ":/sensor-vendor.png"
                                         << "191x51";
    QTest::newRow("light logo") << ":/Ombix-logo-light.png"
                                << "390x300";
    QTest::newRow("application image") << ":/ombix.png"
                                       << "256x256";
    QTest::newRow("windows icon") << ":/ombix.ico"
                                  << "16x16 20x20 24x24 32x32 40x40 48x48 64x64 128x128 256x256";
}

void TestMainWindowForm::resourcesLoad()
{
    QFETCH(QString, path);
    QFETCH(QString, sizes);

    QImageReader reader(path);
    QStringList found;
    do {
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(path + ": " + reader.errorString()));
        found << QString("%1x%2").arg(image.width()).arg(image.height());
    } while (reader.jumpToNextImage());
    QCOMPARE(found.join(' '), sizes);
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
