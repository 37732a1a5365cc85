// XM loader: the header, the order table, the packed patterns and the
// instruments with their envelopes and delta-coded samples.
//
// Reads go through the music file table, which cuts reads at the end of the
// data and leaves the rest of the destination as it was; every destination is
// zeroed first, so a cut file reads as zeros. Each count the file gives is
// checked before it sizes anything; a count no valid module has refuses the
// file with its own error.
#include <cstring>
#include <new>

#include "music/mixer.h"
#include "music/music_file.h"
#include "music/replay.h"
#include "music/song.h"

const Sample emptySample{};
const Instrument emptyInstrument{};

namespace {

// The fields of a pattern header and of a sample header; the file may give
// longer ones.
constexpr uint32_t kPatternHeaderBytes = 9;
constexpr uint32_t kSampleHeaderBytes = 40;

int allocationFailure = -1;
int allocationCount = 0;
void (*freeSongHook)(Song*) = nullptr;

// Every allocation of a load goes through here, so the test seam can fail
// any one of them. The records come back zero-filled.
bool AllocationFails() {
    return allocationFailure >= 0 && allocationCount++ == allocationFailure;
}
template <typename T> T* AllocateZeroed(size_t count) {
    return AllocationFails() ? nullptr : new (std::nothrow) T[count]();
}
template <typename T> T* AllocateRecord() {
    return AllocationFails() ? nullptr : new (std::nothrow) T();
}

// Little-endian reads over the music file; bytes past the end read as 0.
struct Reader {
    MusicFile* file;
    int32_t size; // bytes in the file

    void Bytes(void* destination, int32_t count) {
        std::memset(destination, 0, static_cast<size_t>(count));
        MusicRead(destination, count, file);
    }
    uint8_t U8() {
        uint8_t value = 0;
        MusicRead(&value, 1, file);
        return value;
    }
    uint16_t U16() {
        uint8_t b[2] = {};
        MusicRead(b, 2, file);
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    uint32_t U32() {
        uint8_t b[4] = {};
        MusicRead(b, 4, file);
        return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    }
    int32_t Tell() { return MusicTell(file); }
    // Offsets come from the file and may lie anywhere; the stream clamps to
    // the data, this clamps to what a seek can express.
    void Seek(int64_t position) {
        if (position < 0)
            position = 0;
        if (position > INT32_MAX)
            position = INT32_MAX;
        MusicSeek(file, static_cast<int32_t>(position), 0);
    }
    void Skip(int64_t count) { Seek(static_cast<int64_t>(Tell()) + count); }
    int32_t Remaining() {
        const int32_t left = size - Tell();
        return left > 0 ? left : 0;
    }
};

void ReleaseSong(Song* song) {
    if (song == nullptr)
        return;
    if (song->instruments != nullptr) {
        for (int i = 0; i < song->instrumentCount; ++i) {
            Instrument& instrument = song->instruments[i];
            for (int j = 0; j < instrument.sampleCount && j < kSampleSlots; ++j) {
                const Sample* sample = instrument.samples[j];
                if (sample == nullptr || sample == &emptySample)
                    continue;
                delete[] sample->data;
                delete sample;
            }
        }
        delete[] song->instruments;
    }
    if (song->patterns != nullptr) {
        for (int p = 0; p < song->patternSlots; ++p)
            delete[] song->patterns[p].cells;
        delete[] song->patterns;
    }
    delete[] song->playedRows;
    delete song;
}

// One cell: a byte with bit 7 set says which fields follow; otherwise the
// byte is the note and all four other fields follow.
Cell ReadCell(Reader& reader) {
    Cell cell{};
    const uint8_t b = reader.U8();
    if (b & 0x80) {
        if (b & 0x01)
            cell.note = reader.U8();
        if (b & 0x02)
            cell.instrument = reader.U8();
        if (b & 0x04)
            cell.volume = reader.U8();
        if (b & 0x08)
            cell.effect = reader.U8();
        if (b & 0x10)
            cell.parameter = reader.U8();
    } else {
        cell.note = b;
        cell.instrument = reader.U8();
        cell.volume = reader.U8();
        cell.effect = reader.U8();
        cell.parameter = reader.U8();
    }
    if (cell.note == 97)
        cell.note = kKeyOff;
    else if (cell.note > 97)
        cell.note = 0; // not a note of the format: ignored rather than read as an index
    if (cell.instrument > kMaxInstruments)
        cell.instrument = 0;
    return cell;
}

SongLoadError ReadPatterns(Reader& reader, Song& song, int storedPatterns, int fileChannels) {
    for (int p = 0; p < storedPatterns; ++p) {
        // The data follow the header, whose length the file gives; its
        // fields take the first 9 bytes (a shorter length cannot hold them,
        // so the data are taken to follow those 9).
        const int64_t start = reader.Tell();
        const uint32_t headerLength = reader.U32();
        reader.U8(); // packing type: always 0
        const int rows = reader.U16();
        const int packedSize = reader.U16();
        reader.Seek(start +
                    (headerLength > kPatternHeaderBytes ? headerLength : kPatternHeaderBytes));
        if (rows > kMaxPatternRows)
            return SongLoadError::kPatternTooLong;
        Pattern& pattern = song.patterns[p];
        pattern.rows = rows;
        if (packedSize == 0 || rows == 0)
            continue;
        // The cells take packedSize bytes and the next pattern follows them,
        // whatever the cells hold: a pattern that stores fewer cells than its
        // rows leaves the rest empty and does not read into the next one.
        const int64_t dataEnd = static_cast<int64_t>(reader.Tell()) + packedSize;
        pattern.cells = AllocateZeroed<Cell>(static_cast<size_t>(rows) * song.channelCount);
        if (pattern.cells == nullptr)
            return SongLoadError::kOutOfMemory;
        for (int row = 0; row < rows; ++row) {
            for (int channel = 0; channel < fileChannels; ++channel) {
                // Every cell takes at least one byte, so past the end of the
                // data all that is left are empty cells, which are there already.
                if (reader.Tell() >= dataEnd || reader.Remaining() == 0)
                    break;
                const Cell cell = ReadCell(reader);
                // Channels past the replay's 32 are read and dropped.
                if (channel < song.channelCount)
                    pattern.cells[row * song.channelCount + channel] = cell;
            }
        }
        reader.Seek(dataEnd);
    }
    for (int p = storedPatterns; p < song.referencedPatterns; ++p)
        song.patterns[p].rows = 64; // named by the order table but not stored
    return SongLoadError::kNone;
}

// Envelope points must be usable by StepEnvelope and effect L without further
// checks: at most 12 points, values 0..64, ticks never going back (a point
// before its predecessor ends the envelope), loop and sustain indices naming
// points present. Fewer than two points switch the envelope off.
void SanitizeEnvelope(EnvelopePoint* points, uint8_t& count, uint8_t& sustain, uint8_t& loopStart,
                      uint8_t& loopEnd, uint8_t& type) {
    if (count > kMaxEnvelopePoints)
        count = kMaxEnvelopePoints;
    for (int i = 0; i < count; ++i) {
        if (points[i].y > 64)
            points[i].y = 64;
        if (i > 0 && points[i].x < points[i - 1].x) {
            count = static_cast<uint8_t>(i);
            break;
        }
    }
    if (count < 2) {
        type = 0;
        return;
    }
    if (sustain >= count)
        type &= static_cast<uint8_t>(~kEnvelopeSustain);
    if (loopStart >= count || loopEnd >= count || loopStart > loopEnd)
        type &= static_cast<uint8_t>(~kEnvelopeLoop);
}

void ReadEnvelopePoints(Reader& reader, EnvelopePoint* points) {
    for (int i = 0; i < kMaxEnvelopePoints; ++i) {
        points[i].x = reader.U16();
        points[i].y = reader.U16();
    }
}

// A loop that starts past the end is dropped; one that runs past the end is
// cut there, so the guard sample after it stays inside the buffer.
void ClampLoop(Sample& sample) {
    if (sample.loopMode != kLoopNone && sample.loopStart >= sample.length) {
        sample.loopMode = kLoopNone;
    } else if (sample.loopMode != kLoopNone &&
               static_cast<uint64_t>(sample.loopStart) + sample.loopLength > sample.length) {
        sample.loopLength = sample.length - sample.loopStart;
    }
    if (sample.loopMode == kLoopNone) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
    }
}

// Reads one sample's data (storedBytes in the file) and makes it 16-bit,
// delta-decoded, with its guard sample. A sample whose data runs past the end
// of the file keeps what is there.
SongLoadError ReadSampleData(Reader& reader, Sample& sample, uint32_t storedBytes) {
    const int32_t start = reader.Tell();
    const uint32_t bytesPerSample = sample.bits / 8;
    const uint32_t available = static_cast<uint32_t>(reader.Remaining());
    if (storedBytes > available) {
        sample.length = available / bytesPerSample;
        ClampLoop(sample);
    }
    if (sample.length == 0) {
        sample.bits = 16;
        reader.Seek(static_cast<int64_t>(start) + storedBytes);
        return SongLoadError::kNone;
    }
    int16_t* data = AllocateZeroed<int16_t>(static_cast<size_t>(sample.length) + 8);
    if (data == nullptr)
        return SongLoadError::kOutOfMemory;
    sample.data = data;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(data);
    const uint32_t readBytes = sample.length * bytesPerSample;
    reader.Bytes(bytes, static_cast<int32_t>(readBytes));
    if (sample.bits == 8) {
        // Backwards, so each byte is read before its 16-bit slot covers it.
        for (uint32_t i = sample.length; i-- > 0;)
            data[i] = static_cast<int16_t>(static_cast<int8_t>(bytes[i]) * 256);
    } else {
        for (uint32_t i = 0; i < sample.length; ++i)
            data[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    sample.bits = 16;
    uint16_t s = 0;
    for (uint32_t i = 0; i < sample.length; ++i) {
        s = static_cast<uint16_t>(s + static_cast<uint16_t>(data[i]));
        data[i] = static_cast<int16_t>(s);
    }
    const uint32_t loopEnd = sample.loopStart + sample.loopLength;
    if (sample.loopMode == kLoopForward)
        data[loopEnd] = data[sample.loopStart];
    else if (sample.loopMode == kLoopPingPong)
        data[loopEnd] = data[loopEnd - 1];
    // The whole stored size is skipped, also the odd byte of a 16-bit sample,
    // so the next sample starts where the file has it.
    reader.Seek(static_cast<int64_t>(start) + storedBytes);
    return SongLoadError::kNone;
}

SongLoadError ReadInstrument(Reader& reader, Instrument& instrument) {
    const int64_t start = reader.Tell();
    const uint32_t headerSize = reader.U32();
    reader.Skip(23); // name and type
    const int sampleCount = reader.U16();
    if (sampleCount > kSampleSlots)
        return SongLoadError::kTooManySamples;
    for (const Sample*& slot : instrument.samples)
        slot = &emptySample;
    instrument.sampleCount = sampleCount;
    if (sampleCount == 0) {
        reader.Seek(start + headerSize);
        return SongLoadError::kNone;
    }
    // Each sample header takes the size the instrument gives; its fields take
    // the first 40 bytes (a smaller size, 0 among them, is taken as 40).
    const uint32_t storedHeaderSize = reader.U32();
    const int64_t sampleHeaderSize =
        storedHeaderSize > kSampleHeaderBytes ? storedHeaderSize : kSampleHeaderBytes;
    reader.Bytes(instrument.keymap, sizeof instrument.keymap);
    ReadEnvelopePoints(reader, instrument.volumeEnvelope);
    ReadEnvelopePoints(reader, instrument.panningEnvelope);
    instrument.volumePointCount = reader.U8();
    instrument.panningPointCount = reader.U8();
    instrument.volumeSustain = reader.U8();
    instrument.volumeLoopStart = reader.U8();
    instrument.volumeLoopEnd = reader.U8();
    instrument.panningSustain = reader.U8();
    instrument.panningLoopStart = reader.U8();
    instrument.panningLoopEnd = reader.U8();
    instrument.volumeType = reader.U8();
    instrument.panningType = reader.U8();
    instrument.autoVibratoType = reader.U8();
    instrument.autoVibratoSweep = reader.U8();
    instrument.autoVibratoDepth = reader.U8();
    instrument.autoVibratoRate = reader.U8();
    instrument.fadeout = static_cast<uint16_t>(reader.U16() * 2);
    SanitizeEnvelope(instrument.volumeEnvelope, instrument.volumePointCount,
                     instrument.volumeSustain, instrument.volumeLoopStart, instrument.volumeLoopEnd,
                     instrument.volumeType);
    SanitizeEnvelope(instrument.panningEnvelope, instrument.panningPointCount,
                     instrument.panningSustain, instrument.panningLoopStart,
                     instrument.panningLoopEnd, instrument.panningType);
    reader.Seek(start + headerSize);

    uint32_t storedBytes[kSampleSlots] = {};
    Sample* samples[kSampleSlots] = {};
    for (int j = 0; j < sampleCount; ++j) {
        Sample* sample = AllocateRecord<Sample>();
        if (sample == nullptr)
            return SongLoadError::kOutOfMemory;
        instrument.samples[j] = sample;
        samples[j] = sample;
        const int64_t headerStart = reader.Tell();
        sample->length = reader.U32();
        sample->loopStart = reader.U32();
        sample->loopLength = reader.U32();
        sample->volume = reader.U8();
        sample->finetune = static_cast<int8_t>(reader.U8());
        const uint8_t type = reader.U8();
        sample->panning = reader.U8();
        sample->relativeNote = static_cast<int8_t>(reader.U8());
        reader.Seek(headerStart + sampleHeaderSize); // past the reserved byte and the name
        if (sample->volume > 64)
            sample->volume = 64;
        sample->loopMode = kLoopNone;
        if (type & 1)
            sample->loopMode = kLoopForward;
        if (type & 2)
            sample->loopMode = kLoopPingPong;
        sample->bits = (type & 0x10) ? 16 : 8;
        storedBytes[j] = sample->length;
        if (sample->loopMode == kLoopNone) {
            sample->loopStart = 0;
            sample->loopLength = sample->length;
        }
        if (sample->bits == 16) {
            sample->length /= 2;
            sample->loopStart /= 2;
            sample->loopLength /= 2;
        }
        if (sample->loopLength == 0) {
            sample->loopStart = 0;
            sample->loopLength = sample->length;
            sample->loopMode = kLoopNone;
        }
    }
    for (int j = 0; j < sampleCount; ++j) {
        ClampLoop(*samples[j]);
        const SongLoadError error = ReadSampleData(reader, *samples[j], storedBytes[j]);
        if (error != SongLoadError::kNone)
            return error;
    }
    return SongLoadError::kNone;
}

// Four bytes of the file at offset equal text.
bool TagAt(Reader& reader, int32_t offset, const char* text) {
    char tag[4];
    reader.Seek(offset);
    reader.Bytes(tag, 4);
    return std::memcmp(tag, text, 4) == 0;
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// What a file that is not XM is, when its tags tell: IT and S3M by their
// signatures at 0 and 44, MOD by the tag at 1080 that names its channels.
SongLoadError OtherModule(Reader& reader) {
    if (TagAt(reader, 0, "IMPM"))
        return SongLoadError::kItModule;
    if (TagAt(reader, 44, "SCRM"))
        return SongLoadError::kS3mModule;
    char tag[4];
    reader.Seek(1080);
    reader.Bytes(tag, 4);
    static const char* const kModTags[] = {"M.K.", "M!K!", "M&K!", "FLT4", "FLT8",
                                           "OKTA", "OCTA", "CD81", "N.T."};
    for (const char* known : kModTags)
        if (std::memcmp(tag, known, 4) == 0)
            return SongLoadError::kModModule;
    const bool channelsTag = (Digit(tag[0]) && std::memcmp(tag + 1, "CHN", 3) == 0) ||
                             (Digit(tag[0]) && Digit(tag[1]) && tag[2] == 'C' && tag[3] == 'H') ||
                             (std::memcmp(tag, "TDZ", 3) == 0 && Digit(tag[3]));
    return channelsTag ? SongLoadError::kModModule : SongLoadError::kNotXm;
}

SongLoadError Parse(Reader& reader, Song& song) {
    static const char kSignature[17] = {'E', 'x', 't', 'e', 'n', 'd', 'e', 'd', ' ',
                                        'M', 'o', 'd', 'u', 'l', 'e', ':', ' '};
    char signature[17];
    reader.Seek(0);
    reader.Bytes(signature, 17);
    if (std::memcmp(signature, kSignature, 17) != 0)
        return OtherModule(reader);
    song.tickHandler = ReplayTick;
    song.defaultGlobalVolume = 64;

    reader.Seek(60);
    const uint32_t headerSize = reader.U32();
    song.songLength = static_cast<int16_t>(reader.U16());
    song.restartPosition = static_cast<int16_t>(reader.U16());
    const int16_t fileChannels = static_cast<int16_t>(reader.U16());
    const int storedPatterns = reader.U16();
    const int16_t instrumentCount = static_cast<int16_t>(reader.U16());
    song.flags = reader.U16();
    song.defaultTempo = static_cast<int16_t>(reader.U16());
    song.defaultBpm = static_cast<int16_t>(reader.U16());
    reader.Bytes(song.orderTable, sizeof song.orderTable);
    reader.Seek(60 + static_cast<int64_t>(headerSize));

    if (song.songLength < 1)
        return SongLoadError::kNoOrders;
    if (song.songLength > 256)
        song.songLength = 256; // the table has no more entries
    if (song.restartPosition < 0 || song.restartPosition >= song.songLength)
        song.restartPosition = 0;
    if (fileChannels < 1)
        return SongLoadError::kNoChannels;
    // The replay has 32 channels; a wider module plays its first 32.
    song.channelCount = fileChannels > kMaxChannels ? kMaxChannels : fileChannels;
    if (storedPatterns > kMaxPatterns)
        return SongLoadError::kTooManyPatterns;
    if (instrumentCount < 0 || instrumentCount > kMaxInstruments)
        return SongLoadError::kTooManyInstruments;

    int highest = 0;
    for (int i = 0; i < song.songLength; ++i)
        highest = song.orderTable[i] > highest ? song.orderTable[i] : highest;
    song.referencedPatterns = highest + 1;
    song.patternSlots =
        storedPatterns > song.referencedPatterns ? storedPatterns : song.referencedPatterns;
    song.patterns = AllocateZeroed<Pattern>(static_cast<size_t>(song.patternSlots));
    if (song.patterns == nullptr)
        return SongLoadError::kOutOfMemory;
    song.playedRows = AllocateZeroed<uint32_t>(kPlayedRowWords);
    if (song.playedRows == nullptr)
        return SongLoadError::kOutOfMemory;
    SongLoadError error = ReadPatterns(reader, song, storedPatterns, fileChannels);
    if (error != SongLoadError::kNone)
        return error;

    if (instrumentCount > 0) {
        song.instruments = AllocateZeroed<Instrument>(static_cast<size_t>(instrumentCount));
        if (song.instruments == nullptr)
            return SongLoadError::kOutOfMemory;
        song.instrumentCount = instrumentCount;
        for (int i = 0; i < instrumentCount; ++i) {
            error = ReadInstrument(reader, song.instruments[i]);
            if (error != SongLoadError::kNone)
                return error;
        }
    }
    return SongLoadError::kNone;
}

} // namespace

const char* SongLoadErrorText(SongLoadError error) {
    switch (error) {
    case SongLoadError::kNone:
        return "no error";
    case SongLoadError::kNoFile:
        return "the file could not be opened";
    case SongLoadError::kNotXm:
        return "not an XM module (no \"Extended Module: \" signature)";
    case SongLoadError::kModModule:
        return "a MOD module, not XM: only XM modules are played";
    case SongLoadError::kS3mModule:
        return "an S3M module, not XM: only XM modules are played";
    case SongLoadError::kItModule:
        return "an IT module, not XM: only XM modules are played";
    case SongLoadError::kNoOrders:
        return "damaged module: the order list is empty";
    case SongLoadError::kNoChannels:
        return "damaged module: no channels";
    case SongLoadError::kTooManyPatterns:
        return "damaged module: more than 256 patterns";
    case SongLoadError::kPatternTooLong:
        return "damaged module: a pattern has more than 1024 rows";
    case SongLoadError::kTooManyInstruments:
        return "damaged module: more than 128 instruments";
    case SongLoadError::kTooManySamples:
        return "damaged module: an instrument has more than 16 samples";
    case SongLoadError::kOutOfMemory:
        return "out of memory";
    }
    return "unknown error";
}

Song* LoadSong(int id, SongLoadError* error) {
    SongLoadError result = SongLoadError::kNone;
    Song* song = AllocateRecord<Song>();
    MusicFile* file = nullptr;
    if (song == nullptr) {
        result = SongLoadError::kOutOfMemory;
    } else if ((file = OpenMusicFile(id)) == nullptr) {
        result = SongLoadError::kNoFile;
    } else {
        Reader reader{file, 0};
        MusicSeek(file, 0, 2);
        reader.size = MusicTell(file);
        result = Parse(reader, *song);
        CloseMusicFile(file);
    }
    if (error != nullptr)
        *error = result;
    if (result != SongLoadError::kNone) {
        // Never played, so there is no playback to stop.
        ReleaseSong(song);
        return nullptr;
    }
    return song;
}

bool FreeSong(Song* song) {
    if (song == nullptr)
        return false;
    if (song == mixRing.currentSong) {
        if (freeSongHook != nullptr)
            freeSongHook(song);
        DetachSong();
    }
    ReleaseSong(song);
    return true;
}

void SetFreeSongHook(void (*stopPlayback)(Song*)) {
    freeSongHook = stopPlayback;
}

void SetSongAllocationFailure(int n) {
    allocationFailure = n;
    allocationCount = 0;
}
