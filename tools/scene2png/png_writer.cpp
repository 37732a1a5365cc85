// PNG with a zlib stream of fixed-Huffman deflate blocks: each row is
// filtered (Sub or Up, whichever is smaller), then matches are found with a
// small hash chain. Plenty for previews and test pictures.
#include "png_writer.h"

#include <array>
#include <cstdio>

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

class BitWriter {
  public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Bits(uint32_t value, int count) { // least significant bit first
        for (int i = 0; i < count; ++i) {
            acc_ |= ((value >> i) & 1u) << used_;
            if (++used_ == 8)
                Flush();
        }
    }
    void Huffman(uint32_t code, int length) { // most significant bit first
        for (int i = length - 1; i >= 0; --i)
            Bits((code >> i) & 1u, 1);
    }
    void Flush() {
        if (used_ > 0)
            out_.push_back(static_cast<uint8_t>(acc_));
        acc_ = 0;
        used_ = 0;
    }

  private:
    std::vector<uint8_t>& out_;
    uint32_t acc_ = 0;
    int used_ = 0;
};

// Fixed literal/length code of deflate.
void Literal(BitWriter& w, int symbol) {
    if (symbol < 144)
        w.Huffman(0x30 + symbol, 8);
    else if (symbol < 256)
        w.Huffman(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        w.Huffman(symbol - 256, 7);
    else
        w.Huffman(0xC0 + symbol - 280, 8);
}

void Match(BitWriter& w, int length, int distance) {
    static const int lengthBase[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                     15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                     67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int lengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const int distBase[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                   33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const int distExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    int l = 28;
    while (lengthBase[l] > length)
        --l;
    Literal(w, 257 + l);
    w.Bits(static_cast<uint32_t>(length - lengthBase[l]), lengthExtra[l]);
    int d = 29;
    while (distBase[d] > distance)
        --d;
    w.Huffman(static_cast<uint32_t>(d), 5);
    w.Bits(static_cast<uint32_t>(distance - distBase[d]), distExtra[d]);
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out = {0x78, 0x01};
    BitWriter w(out);
    w.Bits(1, 1); // final block
    w.Bits(1, 2); // fixed Huffman codes
    constexpr int kWindow = 32768, kHashSize = 1 << 15, kChain = 32;
    std::vector<int> head(kHashSize, -1), previous(data.size(), -1);
    auto hash = [&](size_t i) {
        return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (kHashSize - 1);
    };
    size_t i = 0;
    while (i < data.size()) {
        int bestLength = 0, bestDistance = 0;
        if (i + 2 < data.size()) {
            const int h = hash(i);
            int candidate = head[h];
            for (int tries = 0; candidate >= 0 && tries < kChain; ++tries) {
                const int distance = static_cast<int>(i) - candidate;
                if (distance > kWindow)
                    break;
                int length = 0;
                while (length < 258 && i + length < data.size() &&
                       data[candidate + length] == data[i + length])
                    ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                }
                candidate = previous[candidate];
            }
        }
        const size_t step = bestLength >= 3 ? static_cast<size_t>(bestLength) : 1;
        if (bestLength >= 3)
            Match(w, bestLength, bestDistance);
        else
            Literal(w, data[i]);
        for (size_t k = 0; k < step; ++k, ++i) {
            if (i + 2 < data.size()) {
                const int h = hash(i);
                previous[i] = head[h];
                head[h] = static_cast<int>(i);
            }
        }
    }
    Literal(w, 256);
    w.Flush();
    const uint32_t adler = Adler32(data);
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<uint8_t>(adler >> s));
    return out;
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& body) {
    const uint32_t size = static_cast<uint32_t>(body.size());
    for (int s = 24; s >= 0; s -= 8)
        png.push_back(static_cast<uint8_t>(size >> s));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    const uint32_t crc = Crc32(png.data() + start, png.size() - start);
    for (int s = 24; s >= 0; s -= 8)
        png.push_back(static_cast<uint8_t>(crc >> s));
}

} // namespace

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        for (int s = 24; s >= 0; s -= 8)
            header.push_back(static_cast<uint8_t>(v >> s));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace
    Chunk(png, "IHDR", header);

    const size_t stride = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> raw;
    raw.reserve((stride + 1) * height);
    std::vector<uint8_t> sub(stride), up(stride);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rgb.data() + stride * y;
        const uint8_t* above = y > 0 ? row - stride : nullptr;
        long subCost = 0, upCost = 0;
        for (size_t x = 0; x < stride; ++x) {
            sub[x] = static_cast<uint8_t>(row[x] - (x >= 3 ? row[x - 3] : 0));
            up[x] = static_cast<uint8_t>(row[x] - (above != nullptr ? above[x] : 0));
            subCost += static_cast<int8_t>(sub[x]) < 0 ? -static_cast<int8_t>(sub[x]) : sub[x];
            upCost += static_cast<int8_t>(up[x]) < 0 ? -static_cast<int8_t>(up[x]) : up[x];
        }
        const bool useUp = upCost < subCost;
        raw.push_back(useUp ? 2 : 1);
        const std::vector<uint8_t>& chosen = useUp ? up : sub;
        raw.insert(raw.end(), chosen.begin(), chosen.end());
    }
    Chunk(png, "IDAT", Deflate(raw));
    Chunk(png, "IEND", {});
    return png;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    const std::vector<uint8_t> png = EncodePng(width, height, rgb);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}
