#include "controls/cdoublesliderspinbox.h"

#include <QDoubleSpinBox>
#include <QSlider>
#include <QtMath>
#include <limits>

namespace {

// A spin-box value closer than this to the stored one counts as unchanged.
constexpr double kSpinBoxTolerance = 0.001;

void SetEnabledIfDifferent(QWidget* pWidget, bool bEnable)
{
    if (pWidget && pWidget->isEnabled() != bEnable)
        pWidget->setEnabled(bEnable);
}

} // namespace

CDoubleSliderSpinBox::CDoubleSliderSpinBox(QSlider* pSlider, QDoubleSpinBox* pSpinBox, QString sParamName,
    double value, double minValue, double maxValue, double stepValue, bool bEnabled, bool bReadOnly)
    : CControlBase(sParamName, QVariant(value), QVariant(minValue), QVariant(maxValue), QVariant(stepValue),
        bEnabled, bReadOnly)
    , m_pSlider(pSlider)
    , m_pSpinBox(pSpinBox)
    , m_nSliderWidth(0)
    , m_bSliderPressed(true)
{
    // Also puts the slider at the start value.
    ApplyRange();
    if (m_pSlider) {
        m_pSlider->setTracking(false);
        connect(m_pSlider, SIGNAL(valueChanged(int)), this, SLOT(OnSliderChanged(int)));
        connect(m_pSlider, SIGNAL(sliderPressed()), this, SLOT(OnSliderPressed()));
    }
    if (m_pSpinBox)
        connect(m_pSpinBox, SIGNAL(valueChanged(double)), this, SLOT(OnSpinBoxUpdated(double)));
    EnableControl(EnabledByAttributes());
}

void CDoubleSliderSpinBox::EnableControl(bool bEnable)
{
    SetEnabledIfDifferent(m_pSlider, bEnable);
    SetEnabledIfDifferent(m_pSpinBox, bEnable);
}

void CDoubleSliderSpinBox::UpdateRange() { ApplyRange(); }

// A value the device reports. The widgets take it once the current pass of the event loop is done, before
// the next paint: a flood of reports for one parameter lays out the spin box's text once per pass, not once
// per report (that layout is most of the cost of a report).
void CDoubleSliderSpinBox::SetValue(QVariant value)
{
    m_value = QVariant(value.toDouble());
    if (m_bShowPending)
        return;
    m_bShowPending = true;
    QMetaObject::invokeMethod(this, &CDoubleSliderSpinBox::ShowValue, Qt::QueuedConnection);
    // The repaint is asked for now as well. Its request queues behind the call above, at a lower priority,
    // so the value is painted in the same turn of the event loop in which the widgets take it, not one later.
    if (m_pSpinBox)
        m_pSpinBox->update();
}

// The spin box may show the stored value rounded to its decimals or clamped to its bounds, and that is not
// an edit of the user's, so it is not sent back (the device would be set to the rounded value).
void CDoubleSliderSpinBox::ShowValue()
{
    m_bShowPending = false;
    const double d = m_value.toDouble();
    m_bFollowingDevice = true;
    if (m_pSpinBox)
        m_pSpinBox->setValue(d);
    if (m_pSlider)
        m_pSlider->setValue(ValueToSliderPosition(d));
    m_bFollowingDevice = false;
}

void CDoubleSliderSpinBox::OnSpinBoxUpdated(double value)
{
    if (m_bFollowingDevice)
        return;
    if (qAbs(value - m_value.toDouble()) <= kSpinBoxTolerance)
        return;
    m_value = QVariant(value);
    if (m_pSlider)
        m_pSlider->setValue(ValueToSliderPosition(value));
    emit ValueChanged(m_sParamName, value, true);
}

void CDoubleSliderSpinBox::OnSliderChanged(int nValue)
{
    if (m_bFollowingDevice)
        return;
    if (nValue == ValueToSliderPosition(m_value.toDouble()))
        return;
    const double v = m_minValue.toDouble() + (SliderRange() * nValue) / m_nSliderWidth;
    m_value = QVariant(v);
    if (m_pSpinBox)
        m_pSpinBox->setValue(v);
    emit ValueChanged(m_sParamName, v, false);
}

void CDoubleSliderSpinBox::OnSliderPressed() { m_bSliderPressed = true; }

// New bounds come from the device and a new slider width from the layout: the widgets clamp their values
// to the new ranges, and such a clamp is not a user edit, so nothing is reported and the stored value stays
// the device's. The slider scale is re-read from the slider's current width, and the slider is put where
// the stored value lies on that scale, so that it shows what the spin box shows.
void CDoubleSliderSpinBox::ApplyRange()
{
    m_bFollowingDevice = true;
    if (m_pSlider) {
        m_nSliderWidth = m_pSlider->width();
        m_pSlider->setRange(0, m_nSliderWidth);
        m_pSlider->setValue(ValueToSliderPosition(m_value.toDouble()));
    }
    if (m_pSpinBox) {
        m_pSpinBox->setRange(m_minValue.toDouble(), m_maxValue.toDouble());
        const double step = m_stepValue.toDouble();
        if (step > 0)
            m_pSpinBox->setSingleStep(step);
    }
    m_bFollowingDevice = false;
}

double CDoubleSliderSpinBox::SliderRange() const { return m_maxValue.toDouble() - m_minValue.toDouble(); }

// Equal bounds leave nothing to scale: every value sits at the slider's start. Values far outside the
// bounds are held to the int range so that the rounding stays defined; the slider clamps them anyway.
int CDoubleSliderSpinBox::ValueToSliderPosition(double v) const
{
    const double range = SliderRange();
    if (range == 0.0)
        return 0;
    const double position = m_nSliderWidth * (v - m_minValue.toDouble()) / range;
    if (qIsNaN(position))
        return 0;
    constexpr double kLowest = std::numeric_limits<int>::min() + 1.0;
    constexpr double kHighest = std::numeric_limits<int>::max();
    return qRound(qBound(kLowest, position, kHighest));
}
