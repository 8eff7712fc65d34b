#pragma once

#include "controls/ccontrolbase.h"

class QDoubleSpinBox;
class QSlider;

// A numeric parameter shown in a horizontal slider and a spin box kept in step; either may be absent.
// The slider's range is its own width in pixels, so one step is one pixel and positions map linearly
// onto the parameter's bounds. Spin-box edits are reported with delayedSend true, slider releases with
// false. Echo loops are avoided by comparing with the stored value, never by blocking signals; what the
// widgets do while they take a reported value or new bounds is not reported at all.
class CDoubleSliderSpinBox : public CControlBase
{
    Q_OBJECT

public:
    CDoubleSliderSpinBox(QSlider* pSlider, QDoubleSpinBox* pSpinBox, QString sParamName, double value,
        double minValue, double maxValue, double stepValue, bool bEnabled, bool bReadOnly);

    void EnableControl(bool bEnable) override;
    void UpdateRange() override;
    void SetValue(QVariant value) override;

signals:
    void ValueChanged(QString sParamName, double value, bool delayedSend);

private slots:
    void OnSpinBoxUpdated(double value);
    void OnSliderChanged(int nValue);
    void OnSliderPressed();

private:
    void ShowValue();
    void ApplyRange();
    double SliderRange() const;
    int ValueToSliderPosition(double v) const;

    QSlider* m_pSlider;
    QDoubleSpinBox* m_pSpinBox;
    int m_nSliderWidth;
    bool m_bSliderPressed;
    // Set while the widgets take a reported value, new bounds or a new slider width.
    bool m_bFollowingDevice = false;
    // Set from a reported value until the widgets show it.
    bool m_bShowPending = false;
};
