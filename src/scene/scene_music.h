// The scene's music: started by the set-up when the musica setting is on,
// stopped by the shutdown (also the one before FatalError tells the user).
// It is the embedded song, or the user's own modules (playlist.h) once
// SetSceneMusicFiles has named them.
#pragma once

#include <cstdint>

#include "music/playlist.h"

// The embedded song's resource id.
inline constexpr int kSongResourceId = 123;

// The user's own music instead of the embedded song: path names a module or
// a folder of them, read through files; report tells of each file skipped
// and of a fall-back to the embedded song; seed chooses the order. Nothing
// is read until the music starts.
void SetSceneMusicFiles(const char* path, const MusicFiles& files, PlaylistReport report,
                        uint64_t seed);

// Starts the music when musica is on; a failure leaves the scene silent.
void StartSceneMusic();

// Between frames: the user's music moves on to its next module when the one
// playing has taken over (at most one file is read). Nothing otherwise.
void StepSceneMusic();

// Stops the music and waits for its thread to end; nothing when none plays.
void StopSceneMusic();
