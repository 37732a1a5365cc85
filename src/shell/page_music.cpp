#include "shell/page_music.h"

#include "music/song_source.h"
#include "music/wave_output.h"

const char* PageModuleRefusal(SongLoadError error) {
    switch (error) {
    case SongLoadError::kNone:
        return "";
    case SongLoadError::kModModule:
        return "es un módulo MOD, no XM; solo se tocan módulos XM";
    case SongLoadError::kS3mModule:
        return "es un módulo S3M, no XM; solo se tocan módulos XM";
    case SongLoadError::kItModule:
        return "es un módulo IT, no XM; solo se tocan módulos XM";
    case SongLoadError::kOutOfMemory:
        return "no cabe en la memoria de la página";
    case SongLoadError::kNoOrders:
    case SongLoadError::kNoChannels:
    case SongLoadError::kTooManyPatterns:
    case SongLoadError::kPatternTooLong:
    case SongLoadError::kTooManyInstruments:
    case SongLoadError::kTooManySamples:
        return "es un módulo XM dañado";
    case SongLoadError::kNoFile:
    case SongLoadError::kNotXm:
        break;
    }
    return "no es un módulo XM";
}

const char* PlayPageModule(const WaveDevice& device, const uint8_t* bytes, size_t size) {
    // The start stops the music that plays before it loads the module, so
    // the module is loaded once beforehand: one that cannot be is refused
    // while the music goes on.
    SongLoadError error = SongLoadError::kNone;
    Song* trial = LoadSongFromMemory(bytes, size, &error);
    if (trial == nullptr)
        return PageModuleRefusal(error);
    FreeSong(trial);
    switch (StartMusicFromBytesOn(device, bytes, size, &error)) {
    case MusicStart::Playing:
        return "";
    case MusicStart::NoDevice:
        return kPageNoSound;
    case MusicStart::NoSong:
        break;
    }
    // Memory that the trial had and the start had not: the device that the
    // start left open goes too.
    StopMusic();
    return PageModuleRefusal(error);
}
