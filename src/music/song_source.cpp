#include "music/song_source.h"

#include <cstring>

#include "core/resources.h"
#include "music/mixer.h"
#include "music/music_file.h"

namespace {

// Serves one block of bytes as the music resource for the length of a load.
class MemoryMusic final : public ResourceSource {
  public:
    MemoryMusic(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    bool Find(const char* typeName, int id, ResourceBytes& out) override {
        if (std::strcmp(typeName, "VOXARESOURCE") != 0 || id != kMusicResourceId)
            return false;
        out.data = bytes_;
        out.size = size_;
        return true;
    }

  private:
    const uint8_t* bytes_;
    size_t size_;
};

} // namespace

Song* LoadSongFromMemory(const uint8_t* bytes, size_t size, SongLoadError* error) {
    MemoryMusic source(bytes, size);
    ResourceSource* previous = GetResourceSource();
    SetResourceSource(&source);
    SetMusicFileOps(OpenMusicResource, CloseResourceStream, ReadResourceStream, SeekResourceStream,
                    TellResourceStream);
    Song* song = LoadSong(kMusicResourceId, error);
    SetResourceSource(previous);
    return song;
}

int64_t RenderSong(Song* song, int64_t frames, PcmSink sink, void* user) {
    if (mixRing.pcmRing == nullptr)
        return 0;
    StartSong(song);
    int64_t delivered = 0;
    while (delivered < frames) {
        const int32_t block = mixRing.fillBlock;
        FillBlock();
        const int64_t left = frames - delivered;
        const int32_t count =
            left < mixRing.blockSamples ? static_cast<int32_t>(left) : mixRing.blockSamples;
        delivered += count;
        if (!sink(BlockPcm(block), count, user))
            break;
    }
    return delivered;
}
