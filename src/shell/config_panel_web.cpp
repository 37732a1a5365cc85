// The page's settings panel: the configuration dialog's controls as HTML
// elements of index.html (element "c" and the dialog's control id: check
// boxes, radio buttons, two selects and the frame-rate box), driven by the
// same portable fill and read-back as the Windows dialog. The panel edits
// what is stored, not the query: its OK stores the choices and the page
// then loads again with them (the query still wins over them).
#include <emscripten.h>

#include <cstdint>
#include <string>

#include "core/settings.h"
#include "shell/config_controls.h"
#include "shell/settings_store.h"
#include "terrain/name_lists.h"

namespace {

// clang-format off
EM_JS(void, PanelAppendOption, (int id, const char* name), {
    var select = document.getElementById("c" + id);
    var option = document.createElement("option");
    option.text = UTF8ToString(name);
    select.add(option);
});

// Selects the option whose text is the text; none when no option has it.
EM_JS(void, PanelSelectOption, (int id, const char* text), {
    var select = document.getElementById("c" + id);
    var wanted = UTF8ToString(text);
    select.selectedIndex = -1;
    for (var i = 0; i < select.options.length; ++i)
        if (select.options[i].text === wanted)
            select.selectedIndex = i;
});

// The selected option's text into out (capacity bytes); its length in bytes.
EM_JS(int, PanelSelectedOption, (int id, char* out, int capacity), {
    var select = document.getElementById("c" + id);
    var text = select.selectedIndex >= 0 ? select.options[select.selectedIndex].text : "";
    return stringToUTF8(text, out, capacity);
});

EM_JS(void, PanelSetChecked, (int id, int checked), {
    document.getElementById("c" + id).checked = checked != 0;
});

EM_JS(int, PanelIsChecked, (int id), {
    return document.getElementById("c" + id).checked ? 1 : 0;
});

EM_JS(void, PanelSetText, (int id, const char* text), {
    document.getElementById("c" + id).value = UTF8ToString(text);
});
// clang-format on

class PanelControls final : public ConfigControls {
  public:
    void AppendComboName(int comboId, const char* name) override {
        PanelAppendOption(comboId, name);
    }
    void SetComboText(int comboId, const char* text) override { PanelSelectOption(comboId, text); }
    std::string GetComboText(int comboId) override {
        char text[kMaxComboText + 1];
        const int length = PanelSelectedOption(comboId, text, sizeof text);
        return std::string(text, static_cast<size_t>(length > 0 ? length : 0));
    }
    void SetChecked(int buttonId, bool checked) override { PanelSetChecked(buttonId, checked); }
    bool IsChecked(int buttonId) override { return PanelIsChecked(buttonId) != 0; }
    void SetText(int controlId, const char* text) override { PanelSetText(controlId, text); }
};

PanelControls controls;
bool namesAppended = false;
// The record the open panel edits, as the dialog edits the program's: the
// stored settings over the defaults when it opens.
Settings edited;

} // namespace

extern "C" {

// Fills the panel from the stored settings as it opens; the frame rate of
// the last run is shown as the dialog shows it.
EMSCRIPTEN_KEEPALIVE void TazroPanelOpen() {
    SetDefaultSettings(edited);
    edited.frames = 0.0f;
    LoadSettings(edited);
    FillConfigControls(controls, edited, cameraList, floorList, !namesAppended);
    namesAppended = true;
    controls.SetText(ConfigControlId::kFrames, FormatFrames(edited.frames).c_str());
}

// "Valores por defecto": every field but the frame rate back to its default
// (autocam too, which has no control), shown; nothing is stored yet.
EMSCRIPTEN_KEEPALIVE void TazroPanelDefaults() {
    SetDefaultSettings(edited);
    FillConfigControls(controls, edited, cameraList, floorList, false);
}

// OK: the controls read back into the record, which is stored.
EMSCRIPTEN_KEEPALIVE void TazroPanelAccept() {
    ReadConfigControls(controls, edited, cameraList, floorList);
    SaveSettings(edited);
}

} // extern "C"
