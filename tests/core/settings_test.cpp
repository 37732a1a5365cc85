#include <gtest/gtest.h>

#include "core/settings.h"

namespace {

TEST(Settings, DefaultsLeaveFramesAlone) {
    Settings s;
    s.ninja = true;
    s.sombras = false;
    s.tipoIlum = 0;
    s.nSuelo = 8;
    s.frames = 42.5f;
    SetDefaultSettings(s);
    EXPECT_FALSE(s.ninja);
    EXPECT_TRUE(s.sombras);
    EXPECT_FALSE(s.invtex);
    EXPECT_TRUE(s.autocam);
    EXPECT_TRUE(s.musica);
    EXPECT_TRUE(s.interpol);
    EXPECT_EQ(s.tipoIlum, 2);
    EXPECT_EQ(s.nCamara, 0);
    EXPECT_EQ(s.nSuelo, 2);
    EXPECT_EQ(s.frames, 42.5f);
}

} // namespace
