// The page's own music: a module the user chose on the page (its file
// picker, or a file dropped onto it), read there and handed over as bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "music/song.h"
#include "music/wave_device.h"

// Why a module is not played, in Spanish, to follow the file's name on the
// page ("es un módulo MOD, no XM; ..."); it names MOD, S3M and IT modules.
// Empty for kNone.
const char* PageModuleRefusal(SongLoadError error);

// Why nothing plays when the device cannot be opened, in the same form.
inline constexpr const char* kPageNoSound =
    "no se puede tocar: el navegador no deja abrir el sonido";

// Plays the size bytes at bytes on device from the module's start, in place
// of the music that plays, as StartMusicFromBytesOn does; the bytes are not
// kept. A module that cannot be loaded changes nothing: the music that
// plays goes on. Returns why it does not play (PageModuleRefusal, or
// kPageNoSound when the device could not be opened, after which nothing
// plays); empty when it plays.
const char* PlayPageModule(const WaveDevice& device, const uint8_t* bytes, size_t size);
