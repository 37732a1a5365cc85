// The music's start on the platform's own device. Kept apart from the rest
// of the playback control so that programs without a platform device (the
// core tests) link the control alone.
#include "music/wave_output.h"

void StartMusic(int id) {
    StartMusicOn(PlatformWaveDevice(), id);
}
