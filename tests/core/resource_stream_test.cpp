#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/resource_stream.h"
#include "core/resources.h"

namespace {

// Serves one resource of the given type and id from memory.
class FakeResources final : public ResourceSource {
  public:
    FakeResources(const char* type, int id, std::vector<uint8_t> bytes)
        : type_(type), id_(id), bytes_(std::move(bytes)) {
        previous_ = GetResourceSource();
        SetResourceSource(this);
    }
    ~FakeResources() { SetResourceSource(previous_); }

    bool Find(const char* typeName, int id, ResourceBytes& out) override {
        if (std::strcmp(typeName, type_) != 0 || id != id_)
            return false;
        out.data = bytes_.data();
        out.size = bytes_.size();
        return true;
    }

  private:
    const char* type_;
    int id_;
    std::vector<uint8_t> bytes_;
    ResourceSource* previous_;
};

std::vector<uint8_t> Counting(int n) {
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(i + 1);
    return bytes;
}

TEST(ResourceStream, ReadsAreCutAtTheEnd) {
    FakeResources fake("QTNRESOURCE", 107, Counting(10));
    ResourceStream* s = OpenResourceStream(107, "QTNRESOURCE");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->size, 10);
    EXPECT_EQ(TellResourceStream(s), 0);

    SeekResourceStream(s, 8, 0);
    uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    ReadResourceStream(out, 4, s);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(out[1], 10);
    EXPECT_EQ(out[2], 0xAA);
    EXPECT_EQ(out[3], 0xAA);
    EXPECT_EQ(TellResourceStream(s), 10);

    out[0] = 0x55;
    ReadResourceStream(out, 1, s); // at the end: nothing
    EXPECT_EQ(out[0], 0x55);
    CloseResourceStream(s);
}

TEST(ResourceStream, SeeksAreClampedToTheData) {
    FakeResources fake("QTNRESOURCE", 107, Counting(100));
    ResourceStream* s = OpenResourceStream(107, "QTNRESOURCE");
    SeekResourceStream(s, 10, 2);
    EXPECT_EQ(TellResourceStream(s), 100);
    SeekResourceStream(s, -4, 2);
    EXPECT_EQ(TellResourceStream(s), 96);
    SeekResourceStream(s, -6, 1);
    EXPECT_EQ(TellResourceStream(s), 90);
    SeekResourceStream(s, 5, 3); // unknown origin: no move
    EXPECT_EQ(TellResourceStream(s), 90);
    // Before the start: clamped at 0 rather than reading before the data.
    SeekResourceStream(s, -1000, 1);
    EXPECT_EQ(TellResourceStream(s), 0);
    SeekResourceStream(s, -1000, 2);
    EXPECT_EQ(TellResourceStream(s), 0);
    SeekResourceStream(s, INT32_MAX, 0);
    EXPECT_EQ(TellResourceStream(s), 100);
    SeekResourceStream(s, INT32_MAX, 1); // no overflow
    EXPECT_EQ(TellResourceStream(s), 100);
    uint8_t byte = 0;
    SeekResourceStream(s, 0, 0);
    ReadResourceStream(&byte, 1, s);
    EXPECT_EQ(byte, 1);
    CloseResourceStream(s);
}

TEST(ResourceStream, MissingResourceGivesAnEmptyStream) {
    FakeResources fake("QTNRESOURCE", 107, Counting(4));
    ResourceStream* s = OpenResourceStream(106, "QTNRESOURCE");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->size, 0);
    EXPECT_EQ(s->data, nullptr);
    uint8_t out[2] = {7, 7};
    ReadResourceStream(out, 2, s);
    EXPECT_EQ(out[0], 7);
    ReadResourceStream(out, -5, s); // a negative count copies nothing
    EXPECT_EQ(TellResourceStream(s), 0);
    CloseResourceStream(s);
}

} // namespace
