#include "terrain/name_lists.h"

NameList floorList;
NameList cameraList;

void BuildNameLists() {
    cameraList.entries = {{0, "Estandar"}};
    // Floor ids are the texture slots the floor is drawn with, not positions.
    floorList.entries = {{2, "Seco"}, {8, "Lava"}};
}
