#include "csimparameterset.h"

namespace {

QVector<CSimParameter> ParameterTable()
{
    using P = CSimParameter;
    return {
        P::Flag("tmEnable", true, "Tone mapping of the HDR image; always on in this firmware").ReadOnly(),
        P::Flag("midBoost", false, "Lift the mid tones after tone mapping"),
        P::Flag("autoEVsEnable", false, "Choose the exposure ratios of the HDR frames automatically"),
        P::Flag("autoCCMEnable", false, "Adapt the colour correction matrix to the light source"),
        P::Flag("awbUnity", false, "Set the white balance gains to unity"),
        P::Choice("freq", 50, { 50, 60 }, "Mains frequency for flicker-free exposure (Hz)"),
        P::Flag("autoGainEnable", false, "Automatic sensor gain"),
        P::Flag("flipXY", false, "Rotate the image by 180 degrees"),
        P::Number("aroGlobalGain", 1.0, 1.0, 10.0, "Sensor analogue gain"),
        P::Number("manualTAms", 1.0, 0.02, 16.66, "Exposure time of the long frame (ms)"),
        P::Number("brightness", 0.0, -1.5, 0.0, "Overall brightness (EV)"),
        P::Number("gamma", 0.0, -2.0, 4.0, "Gamma adjustment"),
        P::Number("detail", 0.0, -8.0, 8.0, "Local contrast enhancement"),
        P::Number("saturation", 0.0, -8.0, 8.0, "Colour saturation"),
        P::Number("blue/yellow", 0.0, -1.0, 1.0, "White balance shift towards blue (-) or yellow (+)"),
        P::Number("green/red", 0.0, -1.0, 1.0, "White balance shift towards green (-) or red (+)"),
        P::Number("blackfix", 0.0, -12.0, 0.0, "Black level correction (EV)"),
        P::Number("vgComp", 0.0, 0.0, 1.0, "Vignetting compensation"),
        P::Number("aeSpeed", 0.25, 0.0, 1.0, "Speed of the automatic exposure"),
        P::Flag("awbEn", false, "Automatic white balance"),
        P::Choice("highlightMode", 3, { 5, 3, 1 }, "Tone range the automatic exposure favours"),
        P::Flag("autoExpEnable", false, "Automatic exposure"),
        P::Flag("longExpEnable", false, "Long exposure mode; not available with this sensor").Disabled(),
        P::Flag("lfmExpEnable", false, "LED flicker mitigation; not available with this sensor").Disabled(),
        P::Number("awbDeltaMax", 0.5, 0.0, 2.0, "Largest white balance correction per frame"),
        P::Number("awbWhiteLevel", 1.0, 0.0, 16.0, "Brightest level the white balance takes into account"),
        P::Number("awbBlackLevel", 1.0, 0.0, 16.0, "Darkest level the white balance takes into account"),
        P::Choice("DenoiseEn", 1, { 0, 1 }, "Noise reduction"),
        P::Number("yNoiseThresh", 152.0, 0.0, 4095.0, "Noise reduction threshold of the luma"),
        P::Number("crcbNoiseThresh", 152.0, 0.0, 4095.0, "Noise reduction threshold of the chroma"),
        P::Choice("osdhist", 0, { 0, 1 }, "Histogram overlay; set by the camera").ReadOnly(),
        P::Choice("osdcolor", 0, { 0, 1, 2, 3 }, "Colour channel of the histogram overlay"),
        P::Choice("osdfoi", 0, { 0, 1, 2 }, "HDR frame the histogram overlay shows"),
        P::Choice("osdloc", 0, { 0, 1, 2, 3 }, "Corner of the histogram overlay"),
        P::Number("w", 0.0, -8.0, 8.0, "Tone mapping white point (EV)"),
        P::Number("blackLevel", 0.0, 0.0, 32.0, "Black level subtracted from the sensor data"),
    };
}

// Works for the const and the non-const table alike.
template<typename Params>
auto FindIn(Params& params, const QString& sName) -> decltype(&params.first())
{
    for (auto& param : params) {
        if (param.Name() == sName)
            return &param;
    }
    return nullptr;
}

} // namespace

CSimParameterSet::CSimParameterSet()
    : m_params(ParameterTable())
{ }

CSimParameter* CSimParameterSet::Find(const QString& sName) { return FindIn(m_params, sName); }

const CSimParameter* CSimParameterSet::Find(const QString& sName) const { return FindIn(m_params, sName); }

void CSimParameterSet::ResetToDefaults()
{
    for (CSimParameter& param : m_params)
        param.Reset();
}
