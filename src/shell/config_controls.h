// What the configuration dialog shows and reads back, independent of the
// platform's dialog calls: the platform implements ConfigControls over the
// real controls, tests over a fake.
#pragma once

#include <cstddef>
#include <string>

#include "core/settings.h"
#include "terrain/name_lists.h"

// Control ids of dialog 108.
namespace ConfigControlId {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kCredits = 1000;
inline constexpr int kNinja = 1001;
inline constexpr int kSombras = 1002;
inline constexpr int kPerVertex = 1003;
inline constexpr int kPerFace = 1004;
inline constexpr int kNoLighting = 1005;
inline constexpr int kInvtex = 1007;
inline constexpr int kFrames = 1008;
inline constexpr int kCamera = 1009;
inline constexpr int kFloor = 1011;
inline constexpr int kMusica = 1012;
inline constexpr int kInterpol = 1014;
inline constexpr int kDefaults = 1015;
} // namespace ConfigControlId

// The longest combo-box text that is read back, in characters.
inline constexpr size_t kMaxComboText = 254;

class ConfigControls {
  public:
    // Appends name at the end of the combo box's list (list order, not sorted).
    virtual void AppendComboName(int comboId, const char* name) = 0;
    // The text of the combo box's edit field.
    virtual void SetComboText(int comboId, const char* text) = 0;
    // At most kMaxComboText characters of the edit field.
    virtual std::string GetComboText(int comboId) = 0;
    virtual void SetChecked(int buttonId, bool checked) = 0;
    // True only for the checked state (not the indeterminate one).
    virtual bool IsChecked(int buttonId) = 0;
    virtual void SetText(int controlId, const char* text) = 0;

  protected:
    ~ConfigControls() = default;
};

// Shows s in the controls. With appendNames the list names are added to the
// combo boxes first (once, when the dialog opens); without it only the texts,
// check boxes and radio buttons change. A camera or floor id that matches no
// entry leaves its combo box with an empty text. The lighting radio buttons
// show 2 as per vertex, 1 as per face and any other value as none. The
// frame-rate box is not touched.
void FillConfigControls(ConfigControls& controls, const Settings& s, const NameList& cameras,
                        const NameList& floors, bool appendNames);

// Reads the controls back into s (frames and autocam are not touched). A
// combo text equal, case-sensitively, to a list name selects that entry's id;
// any other text leaves the field unchanged.
void ReadConfigControls(ConfigControls& controls, Settings& s, const NameList& cameras,
                        const NameList& floors);

// The frame-rate text: "%5.2f" of frames widened to double (" 0.00" for 0).
// A value that is not a finite number shows as 0.
std::string FormatFrames(float frames);
