#include "image/ImageBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/support/ContextFixture.h"

using ImageBufferTest = ContextFixture;

TEST_F(ImageBufferTest, RowsFollowEachOtherWithoutPadding) {
    ImageBuffer image(8, 1536, 512);
    EXPECT_EQ(786432, image.GetByteSize());
    EXPECT_EQ(image.GetData(), image.GetLine(0));
    EXPECT_EQ(image.GetData() + 784896, image.GetLine(511));

    ImageBuffer points(96, 10, 3);
    EXPECT_EQ(12, points.GetBytesPerPixel());
    EXPECT_EQ(360, points.GetByteSize());
    EXPECT_EQ(points.GetData() + 240, points.GetLine(2));
}

TEST_F(ImageBufferTest, SizesThatCannotHoldAPixelAreRefused) {
    try {
        ImageBuffer image(4, 100, 100);
        FAIL() << "less than a byte per pixel must be refused";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("ImageBuffer::Allocate: Wrong ImageBuffer size: 0", e.what());
    }
    EXPECT_THROW(ImageBuffer(8, -4, 10), std::runtime_error);
    EXPECT_THROW(ImageBuffer(8, 100, 0), std::runtime_error);
}

TEST_F(ImageBufferTest, ImagesBeyondTheThirtyTwoBitSizeAreRefusedNotCutShort) {
    try {
        ImageBuffer image(160, 65536, 65536);
        FAIL() << "a size that wraps 32 bits must be refused";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("ImageBuffer::Allocate: Wrong ImageBuffer size: 85899345920", e.what());
    }
}

TEST_F(ImageBufferTest, AllocatingTheSameSizeKeepsTheBlockAndItsContents) {
    ImageBuffer image(8, 16, 4);
    uint8_t* block = image.GetData();
    std::memset(block, 0xAB, 64);
    image.Allocate(64);
    EXPECT_EQ(block, image.GetData());
    EXPECT_EQ(0xAB, image.GetData()[63]);

    image.Allocate(128);
    EXPECT_EQ(128, image.GetByteSize());
    EXPECT_TRUE(std::all_of(image.GetData(), image.GetData() + 128, [](uint8_t b) {
        return b == 0;
    })) << "a new block starts zeroed";
    EXPECT_THROW(image.Allocate(0), std::runtime_error);
    EXPECT_EQ(128, image.GetByteSize()) << "a refused size changes nothing";
}

TEST_F(ImageBufferTest, RowsOutsideTheImageAreLoggedAndAnsweredWithNull) {
    ImageBuffer image(8, 8, 4);
    EXPECT_EQ(nullptr, image.GetLine(-1));
    EXPECT_EQ(nullptr, image.GetLine(4));
    EXPECT_NE(nullptr, image.GetLine(3));
    std::vector<std::string> expected{"ImageBuffer::GetLine: ERROR: line index out of range: -1\n",
                                      "ImageBuffer::GetLine: ERROR: line index out of range: 4\n"};
    EXPECT_EQ(expected, capture_.Messages());
}
