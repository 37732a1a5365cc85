#include "shell/config_controls.h"

#include <cmath>
#include <cstdio>

namespace {

void FillCombo(ConfigControls& controls, int comboId, const NameList& list, int32_t value,
               bool appendNames) {
    const char* text = "";
    for (const NameEntry& entry : list.entries) {
        if (appendNames)
            controls.AppendComboName(comboId, entry.name.c_str());
        if (entry.id == value)
            text = entry.name.c_str();
    }
    controls.SetComboText(comboId, text);
}

void ReadCombo(ConfigControls& controls, int comboId, const NameList& list, int32_t& value) {
    const std::string text = controls.GetComboText(comboId);
    for (const NameEntry& entry : list.entries)
        if (text == entry.name)
            value = entry.id;
}

} // namespace

void FillConfigControls(ConfigControls& controls, const Settings& s, const NameList& cameras,
                        const NameList& floors, bool appendNames) {
    using namespace ConfigControlId;
    FillCombo(controls, kCamera, cameras, s.nCamara, appendNames);
    FillCombo(controls, kFloor, floors, s.nSuelo, appendNames);
    controls.SetChecked(kSombras, s.sombras);
    controls.SetChecked(kInvtex, s.invtex);
    controls.SetChecked(kNinja, s.ninja);
    controls.SetChecked(kInterpol, s.interpol);
    controls.SetChecked(kMusica, s.musica);
    controls.SetChecked(kPerVertex, s.tipoIlum == 2);
    controls.SetChecked(kPerFace, s.tipoIlum == 1);
    controls.SetChecked(kNoLighting, s.tipoIlum != 2 && s.tipoIlum != 1);
}

void ReadConfigControls(ConfigControls& controls, Settings& s, const NameList& cameras,
                        const NameList& floors) {
    using namespace ConfigControlId;
    ReadCombo(controls, kCamera, cameras, s.nCamara);
    ReadCombo(controls, kFloor, floors, s.nSuelo);
    s.sombras = controls.IsChecked(kSombras);
    s.invtex = controls.IsChecked(kInvtex);
    s.ninja = controls.IsChecked(kNinja);
    s.interpol = controls.IsChecked(kInterpol);
    s.musica = controls.IsChecked(kMusica);
    // In this order, so that with several checked the last one wins.
    if (controls.IsChecked(kPerVertex))
        s.tipoIlum = 2;
    if (controls.IsChecked(kPerFace))
        s.tipoIlum = 1;
    if (controls.IsChecked(kNoLighting))
        s.tipoIlum = 0;
}

std::string FormatFrames(float frames) {
    // The largest float needs 39 digits before the point.
    char text[64];
    const double value = std::isfinite(frames) ? static_cast<double>(frames) : 0.0;
    std::snprintf(text, sizeof text, "%5.2f", value);
    return text;
}
