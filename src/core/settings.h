// The user's choices, one program-wide record named after its registry values.
#pragma once

#include <cstdint>

struct Settings {
    bool ninja = false;   // the body wears the dark clothing
    bool sombras = true;  // shadows are drawn
    bool invtex = false;  // textures load with red and blue exchanged
    bool autocam = true;  // the camera tours by itself
    bool musica = true;   // music plays (forced off in a preview run)
    bool interpol = true; // keyframes are blended
    int32_t tipoIlum = 2; // lighting: 2 per vertex, 1 per face, 0 none
    int32_t nCamara = 0;  // camera type (only 0 exists)
    int32_t nSuelo = 2;   // floor: an id of the floor list and its texture slot
    float frames = 0.0f;  // smoothed frames per second of the last full-screen run
};

extern Settings settings;

// Every field except frames back to its default.
void SetDefaultSettings(Settings& s);
