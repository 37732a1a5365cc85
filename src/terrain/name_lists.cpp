#include "terrain/name_lists.h"

NameList floorList;
NameList cameraList;

void BuildNameLists() {
    cameraList.entries = {{0, "Estandar"}};
    // Floor ids are the texture slots the floor is drawn with, not positions.
    floorList.entries = {{2, "Seco"}, {8, "Lava"}};
}

bool IsFloorId(int32_t id) {
    if (floorList.entries.empty())
        BuildNameLists();
    for (const NameEntry& entry : floorList.entries)
        if (entry.id == id)
            return true;
    return false;
}
