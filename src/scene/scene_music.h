// The scene's music: started by the set-up when the musica setting is on,
// stopped by the shutdown (also the one before FatalError tells the user).
#pragma once

// The embedded song's resource id.
inline constexpr int kSongResourceId = 123;

// Starts the song when musica is on; a failure leaves the scene silent.
void StartSceneMusic();

// Stops the song and waits for its thread to end; nothing when none plays.
void StopSceneMusic();
