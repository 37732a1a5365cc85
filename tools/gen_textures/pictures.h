// The nine texture pictures, by bitmap resource id.
#pragma once

#include "paint.h"

namespace paint {

// Paints bitmap id (108, 109, 111, 114, 115, 117, 120, 121 or 122) into
// picture; false for any other id. reserveBlack tells the writer to keep
// black exact (the sun's additive layers).
bool PaintTexture(int id, Picture& picture, bool& reserveBlack);

} // namespace paint
