#include <gtest/gtest.h>

#include "icon/DataFormat.h"
#include "icon/IconBuffer.h"

namespace {

const char* kCogText =
    "<dataformat>"
    "  <component name=\"Profile 1\" valuetype=\"COG\">"
    "    <subcomponent name=\"Mark\" valuetype=\"MARK\" width=\"2\"/>"
    "    <subcomponent name=\"Sum\" valuetype=\"WORD\" width=\"5\"/>"
    "    <subcomponent name=\"XSum\" valuetype=\"WORD\" width=\"5\"/>"
    "  </component>"
    "  <component name=\"Peak 1\" valuetype=\"RANGE\">"
    "    <subcomponent name=\"Intensity\" valuetype=\"BYTE\" width=\"3\"/>"
    "  </component>"
    "</dataformat>";

TEST(DataFormatTest, ParsesComponentsSubcomponentsAndWidths) {
    icon::DataFormat format(kCogText);
    ASSERT_TRUE(format.isValid());
    ASSERT_EQ(format.numComponents(), 2);
    const icon::Component* cog = format.getComponent(0);
    EXPECT_EQ(cog->getName(), "Profile 1");
    EXPECT_EQ(cog->getValueType(), "COG");
    ASSERT_EQ(cog->numSubComponents(), 3);
    EXPECT_EQ(cog->getSubComponent(0)->getValueType(), "MARK");
    EXPECT_EQ(cog->getSubComponent(0)->getWidth(), 2);
    EXPECT_EQ(cog->getNamedSubComponent("XSum")->getWidth(), 5);
    EXPECT_EQ(cog->getNamedSubComponent("Range"), nullptr);
    EXPECT_EQ(cog->getSubComponent(3), nullptr);
    EXPECT_EQ(format.getComponent(2), nullptr);
    EXPECT_EQ(format.getNamedComponent("Peak 1")->getSubComponent(0)->getElementSize(), 1);
    EXPECT_EQ(format.getScanSize(), 2 * 4 + 5 * 2 + 5 * 2 + 3);
}

TEST(DataFormatTest, TextFormRoundTrips) {
    icon::DataFormat format(kCogText);
    icon::DataFormat again(format.toString());
    EXPECT_EQ(again.toString(), format.toString());
    EXPECT_EQ(again.getNamedComponent("Peak 1")->getValueType(), "RANGE");
}

TEST(DataFormatTest, RejectsMalformedTexts) {
    const char* bad[] = {
        "",
        "<dataformat>",
        "<format><component name=\"a\" valuetype=\"COG\"/></format>",
        "<dataformat/>",
        "<dataformat><component valuetype=\"COG\"/></dataformat>",
        "<dataformat><component name=\"a\" valuetype=\"COG\">"
        "<subcomponent name=\"Sum\" valuetype=\"NIBBLE\" width=\"4\"/></component></dataformat>",
        "<dataformat><component name=\"a\" valuetype=\"COG\">"
        "<subcomponent name=\"Sum\" valuetype=\"WORD\" width=\"0\"/></component></dataformat>",
    };
    for (const char* text : bad) {
        icon::DataFormat format(text);
        EXPECT_FALSE(format.isValid()) << text;
        EXPECT_EQ(format.numComponents(), 0) << text;
    }
}

class IconBufferTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(buffer.init(icon::DataFormat(kCogText), 4), 0); }
    icon::IconBuffer buffer;
};

TEST_F(IconBufferTest, PlanesHoldAllScansOfOneSubcomponent) {
    EXPECT_EQ(buffer.getHeight(), 4);
    uint16_t* sum = nullptr;
    uint16_t* xsum = nullptr;
    ASSERT_EQ(buffer.getWritePointer("Profile 1", "Sum", sum), 0);
    ASSERT_EQ(buffer.getWritePointer("Profile 1", "XSum", xsum), 0);
    for (int i = 0; i < 4 * 5; ++i) {
        sum[i] = static_cast<uint16_t>(i);
        xsum[i] = 0xFFFF;
    }
    const uint16_t* read = nullptr;
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "Sum", read), 0);
    EXPECT_EQ(read[19], 19);  // scan 3, column 4: the planes do not overlap
    const uint32_t* marks = nullptr;
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "Mark", marks), 0);
    EXPECT_EQ(marks[7], 0u);
}

TEST_F(IconBufferTest, ReadPointerErrors) {
    const uint16_t* words = nullptr;
    const uint8_t* bytes = nullptr;
    const float* floats = nullptr;
    EXPECT_EQ(buffer.getReadPointer("Profile 2", "Sum", words),
              icon::IconBuffer::E_COMPONENT_NOT_FOUND);
    EXPECT_EQ(buffer.getReadPointer("Profile 1", "Range", words),
              icon::IconBuffer::E_SUBCOMPONENT_NOT_FOUND);
    EXPECT_EQ(buffer.getReadPointer("Profile 1", "Sum", bytes),
              icon::IconBuffer::E_INCOMPATIBLE_TYPE);
    EXPECT_EQ(buffer.getReadPointer("Profile 1", "Mark", floats),
              icon::IconBuffer::E_INCOMPATIBLE_TYPE);
    EXPECT_EQ(buffer.getReadPointer("Peak 1", "Intensity", bytes), 0);
}

TEST_F(IconBufferTest, LostPacketsPerScan) {
    buffer.setLostPackets(2, 3);
    EXPECT_EQ(buffer.getLostPackets(2), 3);
    EXPECT_EQ(buffer.getLostPackets(1), 0);
    EXPECT_EQ(buffer.getLostPackets(4), 0);
    EXPECT_EQ(buffer.getLostPackets(-1), 0);
}

TEST(IconBufferInitTest, RefusesInvalidFormatsAndSizes) {
    icon::IconBuffer buffer;
    EXPECT_EQ(buffer.init(icon::DataFormat("<x/>"), 4), icon::IconBuffer::E_UNSUPPORTED_LAYOUT);
    EXPECT_EQ(buffer.init(icon::DataFormat(kCogText), 0), icon::IconBuffer::E_SPACE_UNAVAILABLE);
    EXPECT_EQ(buffer.getHeight(), 0);
}

}  // namespace
