// The floor and camera name lists through which the configuration dialog shows
// the nSuelo and nCamara settings by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NameEntry {
    int32_t id = 0;   // floor: a texture slot; camera: a value of nCamara
    std::string name; // shown in the dialog, matched case-sensitively
};

struct NameList {
    std::vector<NameEntry> entries; // in the order the dialog lists them
};

// Built once at start in every mode and never changed afterwards.
extern NameList floorList;
extern NameList cameraList;

// Builds both lists: cameras (0, "Estandar"); floors (2, "Seco"), (8, "Lava").
// Calling it again rebuilds them rather than adding entries.
void BuildNameLists();

// Whether id is one of the floor list's ids (building the lists first when
// they are still empty): the floors an option or a page may name.
bool IsFloorId(int32_t id);
