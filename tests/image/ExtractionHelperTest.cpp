#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "base/VaveZAZError.h"
#include "image/ExtractionHelperCOG.h"
#include "image/ExtractionHelperDirect.h"
#include "image/ExtractionHelperScanCount.h"
#include "image/ExtractionHelperScanMarks.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"
#include "tests/image/ImageTestSupport.h"

using namespace imagetest;
using ::testing::HasSubstr;

namespace {

const ImageSource kCogRange{"Profile 1", "Range", 0, 1, true};
const ImageSource kCogIntensity{"Profile 1", "Intensity", 0, 2, true};
const ImageSource kRange{"Peak 1", "Range", 0, 1, false};
const ImageSource kIntensity{"Peak 1", "Intensity", 0, 2, false};

std::vector<uint8_t> Bytes(ImageBuffer& image) {
    return std::vector<uint8_t>(image.GetData(), image.GetData() + image.GetByteSize());
}

}  // namespace

using CogTest = SimFixture;

TEST_F(CogTest, CentreOfGravityTakesNineteenBitsAndSkipsAnEmptySum) {
    const icon::DataFormat format = CogFormat(4, false);
    auto buffer = EmptyBuffer(format, 1);
    // Sum 5 with XSum bit 16 set; Sum 0 under a full XSum; Sum 1 with all 19
    // numerator bits set; a plain 256 / 3.
    SetPlane<uint16_t>(*buffer, "Profile 1", "Sum", {0x2005, 0x4000, 0xE001, 0x0003});
    SetPlane<uint16_t>(*buffer, "Profile 1", "XSum", {0x0010, 0xFFFF, 0xFFFF, 0x0100});
    ExtractionHelperCOG helper(format, kCogRange, 1);
    helper.Extract(*buffer);

    ImageBuffer gray(8, 4, 1);
    helper.FillGrayscale(gray);
    EXPECT_EQ((std::vector<uint8_t>{54, 0, 0xFF, 85}), Bytes(gray));

    auto points = PointImage(160, 4, 1);
    helper.FillPoints(*points, 2);
    const float expected[] = {13110.4f, 0.0f, 524287.0f, 256.0f / 3.0f};
    for (size_t n = 0; n < 4; ++n) {
        EXPECT_FLOAT_EQ(expected[n], FloatAt(*points, n, 2)) << n;
        EXPECT_EQ(static_cast<float>(n), FloatAt(*points, n, 0)) << "X is the column";
        EXPECT_TRUE(Untouched(*points, n, 1) && Untouched(*points, n, 3)) << n;
    }
    helper.FillPoints(*points, 4);
    EXPECT_FLOAT_EQ(13110.4f, FloatAt(*points, 0, 4));
    EXPECT_TRUE(Untouched(*points, 0, 3));
}

// A COG intensity is the line's weight, the low 13 bits of the Sum word, in
// both images: the top 3 bits belong to the range.
TEST_F(CogTest, IntensityIsTheWeightBitsOfTheSumWordAlone) {
    const icon::DataFormat format = CogFormat(4, false);
    auto buffer = EmptyBuffer(format, 1);
    SetPlane<uint16_t>(*buffer, "Profile 1", "Sum", {0x2005, 0xFFFF, 0xE000, 0x1000});
    const auto helper = CreateExtractionHelper(format, kCogIntensity, 1);
    helper->Extract(*buffer);

    ImageBuffer gray(8, 4, 1);
    helper->FillGrayscale(gray);
    EXPECT_EQ((std::vector<uint8_t>{0, 255, 0, 128}), Bytes(gray)) << "the weight's top 8 bits";

    auto points = PointImage(160, 4, 1);
    helper->FillPoints(*points, 4);
    const float expected[] = {5.0f, 8191.0f, 0.0f, 4096.0f};
    for (size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(expected[n], FloatAt(*points, n, 4)) << n;
        EXPECT_TRUE(Untouched(*points, n, 3)) << n;
    }
}

// On a rendered scene the intensity of a point is its reflectance's weight,
// the same for the belt and a box of the same shade.
TEST_F(CogTest, RenderedIntensityFollowsTheReflectanceWhateverTheHeight) {
    const icon::sim::DeviceConfig device = TwoShadeDevice();
    const icon::DataFormat format = DeviceFormat(device, "Measurement");
    const auto helper = CreateExtractionHelper(format, kCogIntensity, 4);
    helper->Extract(*Render(device, format, 4));
    auto points = PointImage(160, kColumns, 4);
    helper->FillPoints(*points, 4);
    for (size_t n = 0; n < static_cast<size_t>(4 * kColumns); ++n) {
        const double reflectance = TwoShadeReflectance(static_cast<int>(n % kColumns));
        if (reflectance > 0.0) {
            ASSERT_EQ(static_cast<float>(LineWeight(reflectance, device.sensor.rows)),
                      FloatAt(*points, n, 4))
                << n;
        }
    }
}

TEST_F(CogTest, GrayscaleIsTheTruncatedQuotientForEverySum) {
    // For every sum, the largest numerators just below and at a multiple of
    // it: the quotients closest to the next integer.
    constexpr int kSums = 0x1FFF;
    const icon::DataFormat format = CogFormat(kSums, false);
    auto buffer = EmptyBuffer(format, 2);
    std::vector<uint16_t> sumWords;
    std::vector<uint16_t> xsumWords;
    std::vector<uint8_t> expected;
    for (int scan = 0; scan < 2; ++scan) {
        for (uint32_t sum = 1; sum <= kSums; ++sum) {
            const uint32_t numerator = (0x7FFFFu / sum) * sum - (scan == 0 ? 1 : 0);
            sumWords.push_back(static_cast<uint16_t>(((numerator >> 16) << 13) | sum));
            xsumWords.push_back(static_cast<uint16_t>(numerator & 0xFFFFu));
            expected.push_back(static_cast<uint8_t>(numerator / sum));
        }
    }
    SetPlane(*buffer, "Profile 1", "Sum", sumWords);
    SetPlane(*buffer, "Profile 1", "XSum", xsumWords);
    ExtractionHelperCOG helper(format, kCogRange, 2);
    helper.Extract(*buffer);
    ImageBuffer gray(8, kSums, 2);
    helper.FillGrayscale(gray);
    EXPECT_EQ(expected, Bytes(gray));
}

TEST_F(CogTest, RangeImageShowsTheLaserLineRowsOfTheScene) {
    const auto device = SceneDevice();
    const icon::DataFormat format = DeviceFormat(device, "Measurement");
    ExtractionHelperCOG helper(format, kCogRange, 8);
    helper.Extract(*Render(device, format, 8, 100));
    ImageBuffer gray(8, kColumns, 8);
    helper.FillGrayscale(gray);
    auto points = PointImage(96, kColumns, 8);
    helper.FillPoints(*points, 2);
    for (int32_t scan = 0; scan < 8; ++scan) {
        const uint8_t* row = gray.GetLine(scan);
        for (int column = 0; column < kColumns; ++column) {
            const size_t point = static_cast<size_t>(scan * kColumns + column);
            if (InsideBox(column)) {
                EXPECT_EQ(kBoxRow, row[column]) << "scan " << scan << " column " << column;
                EXPECT_NEAR(kBoxRow, FloatAt(*points, point, 2), 0.01);
            } else if (BesideBox(column)) {
                EXPECT_EQ(kBeltRow, row[column]) << "scan " << scan << " column " << column;
                EXPECT_NEAR(kBeltRow, FloatAt(*points, point, 2), 0.01);
            }
        }
    }
}

TEST_F(CogTest, SumAndXSumOfDifferentWidthsAreRefused) {
    icon::Component cog("Profile 1", "COG");
    cog.addSubComponent(icon::SubComponent("Sum", "WORD", 8));
    cog.addSubComponent(icon::SubComponent("XSum", "WORD", 4));
    icon::DataFormat format;
    format.addComponent(cog);
    try {
        ExtractionHelperCOG helper(format, kCogRange, 2);
        FAIL() << "a narrower XSum would be read past its end";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("ExtractionHelperCOG: Sum and XSum of 'Profile 1' differ in width: 8 and 4",
                     e.what());
    }
}

TEST_F(CogTest, EveryConstructionStepAndExtractionCarriesItsLabel) {
    const icon::DataFormat format = CogFormat(4, false);
    const std::pair<int, const char*> setupSteps[] = {{1, "Set input for Sum extraction filter"},
                                                      {2, "Set input for Xsum extraction filter"}};
    for (const auto& [call, label] : setupSteps) {
        FailFilter("ExtractionFilter::setInput", 5005, icon::sim::Fault::FROM_CALL, call);
        try {
            ExtractionHelperCOG helper(format, kCogRange, 2);
            ADD_FAILURE() << label;
        } catch (const VaveZAZError& e) {
            EXPECT_THAT(e.what(), HasSubstr(label));
            EXPECT_EQ(5005, e.Code());
        }
    }
    FailFilter("ExtractionFilter::prepareResult", 5006, icon::sim::Fault::FROM_CALL, 2);
    EXPECT_THROW(
        try { ExtractionHelperCOG(format, kCogRange, 2); } catch (const VaveZAZError& e) {
            EXPECT_THAT(e.what(), HasSubstr("Prepare Xsum output buffer"));
            throw;
        },
        VaveZAZError);

    FailFilter("ExtractionFilter::apply", 5004, icon::sim::Fault::FROM_CALL, 2);
    ExtractionHelperCOG helper(format, kCogRange, 2);
    try {
        helper.Extract(*EmptyBuffer(format, 2));
        FAIL() << "the XSum filter must fail";
    } catch (const VaveZAZError& e) {
        EXPECT_THAT(e.what(), HasSubstr("Apply Xsum filter"));
    }
}

using DirectTest = SimFixture;

TEST_F(DirectTest, EightBitSubcomponentIsCopiedByteForByte) {
    const auto device = SceneDevice();
    const icon::DataFormat format = DeviceFormat(device, "Image");
    const int rows = kBeltRow + 1;
    // One sensor frame: scan r is sensor row r.
    const auto buffer = Render(device, format, rows);
    ExtractionHelperDirect helper(format, {"Frame 1", "Image", 0, 1, false}, rows);
    helper.Extract(*buffer);
    ImageBuffer gray(8, kColumns, rows);
    helper.FillGrayscale(gray);
    EXPECT_EQ(Plane<uint8_t>(*buffer, "Frame 1", "Image"), Bytes(gray));
    // The frame shows the line brightest on the scene's rows.
    for (int column = 0; column < kColumns; ++column) {
        int brightest = 0;
        for (int row = 1; row < rows; ++row) {
            brightest =
                gray.GetLine(row)[column] > gray.GetLine(brightest)[column] ? row : brightest;
        }
        if (InsideBox(column)) {
            EXPECT_EQ(kBoxRow, brightest) << column;
        } else if (BesideBox(column)) {
            EXPECT_EQ(kBeltRow, brightest) << column;
        }
    }
}

TEST_F(DirectTest, SixteenBitSubcomponentGivesItsHighByte) {
    const icon::DataFormat format = RangeFormat(3);
    auto buffer = EmptyBuffer(format, 2);
    SetPlane<uint16_t>(*buffer, "Peak 1", "Range", {0x1234, 0x00FF, 0xFF00, 0x8001, 0, 0xFFFF});
    ExtractionHelperDirect helper(format, kRange, 2);
    helper.Extract(*buffer);
    ImageBuffer gray(8, 3, 2);
    helper.FillGrayscale(gray);
    EXPECT_EQ((std::vector<uint8_t>{0x12, 0x00, 0xFF, 0x80, 0x00, 0xFF}), Bytes(gray));

    auto points = PointImage(160, 3, 2);
    helper.FillPoints(*points, 2);
    helper.FillPoints(*points, 3);
    EXPECT_EQ(4660.0f, FloatAt(*points, 0, 2)) << "no scaling";
    EXPECT_EQ(4660.0f, FloatAt(*points, 0, 3));
    EXPECT_EQ(65535.0f, FloatAt(*points, 5, 2));
    EXPECT_EQ(2.0f, FloatAt(*points, 5, 0)) << "X restarts with every scan";
    EXPECT_TRUE(Untouched(*points, 5, 1) && Untouched(*points, 5, 4));
}

TEST_F(DirectTest, RenderedRangeAndIntensityReachTheirPoints) {
    const auto device = SceneDevice();
    const icon::DataFormat format = RangeFormat(kColumns);
    const auto buffer = Render(device, format, 4);
    ExtractionHelperDirect range(format, kRange, 4);
    ExtractionHelperDirect intensity(format, kIntensity, 4);
    range.Extract(*buffer);
    intensity.Extract(*buffer);
    auto points = PointImage(160, kColumns, 4);
    range.FillPoints(*points, 2);
    intensity.FillPoints(*points, 4);
    // The range counts 1/16 rows.
    EXPECT_EQ(kBoxRow * 16.0f, FloatAt(*points, kColumns + 32, 2));
    EXPECT_EQ(kBeltRow * 16.0f, FloatAt(*points, kColumns + 2, 2));
    const std::vector<uint8_t> raw = Plane<uint8_t>(*buffer, "Peak 1", "Intensity");
    for (size_t n = 0; n < raw.size(); ++n) {
        ASSERT_EQ(static_cast<float>(raw[n]), FloatAt(*points, n, 4)) << n;
    }
}

TEST_F(DirectTest, OtherValueTypesAreRefused) {
    try {
        ExtractionHelperDirect helper(RangeFormat(8), {"Peak 1", "Mark", 0, 0, false}, 4);
        FAIL() << "mark records are no pixels";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("ExtractionHelperDirect: Unsupported SubComponent type MARK", e.what());
    }
}

TEST_F(DirectTest, EveryConstructionStepAndExtractionCarriesItsLabel) {
    const icon::DataFormat format = RangeFormat(8);
    const std::pair<const char*, const char*> steps[] = {
        {"ExtractionFilter::setInput", "Set input for extraction filter"},
        {"ExtractionFilter::prepareResult", "Prepare output buffer"}};
    for (const auto& [operation, label] : steps) {
        FailFilter(operation, 5005, icon::sim::Fault::ONCE);
        try {
            ExtractionHelperDirect helper(format, kRange, 2);
            ADD_FAILURE() << label;
        } catch (const VaveZAZError& e) {
            EXPECT_THAT(e.what(), HasSubstr(label));
        }
    }
    FailFilter("ExtractionFilter::apply", 5004, icon::sim::Fault::ONCE);
    ExtractionHelperDirect helper(format, kRange, 2);
    const auto buffer = EmptyBuffer(format, 2);
    try {
        helper.Extract(*buffer);
        FAIL() << "the filter must fail once";
    } catch (const VaveZAZError& e) {
        EXPECT_THAT(e.what(), HasSubstr("Apply extraction filter"));
        EXPECT_EQ(5004, e.Code());
    }
    EXPECT_NO_THROW(helper.Extract(*buffer)) << "the next buffer goes through";
}

using ScanPositionTest = SimFixture;

TEST_F(ScanPositionTest, ScanCountGivesTheScanIndexPerUnitAndOnlyThatCoordinate) {
    const icon::DataFormat format = RangeFormat(2);
    ExtractionHelperScanCount unscaled(format, kRange, 3, 0.0f);
    ExtractionHelperScanCount perFour(format, kRange, 3, 4.0f);
    auto points = PointImage(160, 2, 3);
    unscaled.FillPoints(*points, 1);
    perFour.FillPoints(*points, 3);
    for (size_t n = 0; n < 6; ++n) {
        const float scan = static_cast<float>(n / 2);
        EXPECT_EQ(scan, FloatAt(*points, n, 1)) << n;
        EXPECT_EQ(scan / 4.0f, FloatAt(*points, n, 3)) << n;
        EXPECT_TRUE(Untouched(*points, n, 0) && Untouched(*points, n, 2) &&
                    Untouched(*points, n, 4))
            << n;
    }
}

TEST_F(ScanPositionTest, MarksGiveEncoderTravelAndOvertriggers) {
    const icon::DataFormat format = CogFormat(2, true);
    auto buffer = EmptyBuffer(format, 3);
    // Word 1: scan counter in bits 0-15, overtriggers in bits 16-23.
    SetPlane<uint32_t>(*buffer, "Profile 1", "Mark", {1000, 0x7F030005, 1010, 0x00010006, 1030, 7});
    const ImageSource marks{"Profile 1", "Mark", 0, 0, true};
    ExtractionHelperScanMarks relative(format, marks, 3, 10.0f, true);
    ExtractionHelperScanMarks raw(format, marks, 3, 0.0f, false);
    relative.Extract(*buffer);
    raw.Extract(*buffer);
    auto points = PointImage(160, 2, 3);
    relative.FillPoints(*points, 1);
    raw.FillPoints(*points, 3);
    const float travel[] = {0.0f, 1.0f, 3.0f};
    const float encoder[] = {1000.0f, 1010.0f, 1030.0f};
    for (size_t n = 0; n < 6; ++n) {
        EXPECT_EQ(travel[n / 2], FloatAt(*points, n, 1)) << n;
        EXPECT_EQ(encoder[n / 2], FloatAt(*points, n, 3)) << n;
        EXPECT_TRUE(Untouched(*points, n, 0) && Untouched(*points, n, 2)) << n;
    }
    EXPECT_EQ(4, relative.OvertrigCount());
}

TEST_F(ScanPositionTest, SimulatedMarksCountTravelAcrossTheEncoderWrap) {
    auto device = SceneDevice();
    device.encoderStart = INT32_MAX - 10;
    device.pulsesPerScan = 5;
    device.overtrigPattern = {0, 0, 2};
    const icon::DataFormat format = DeviceFormat(device, "Measurement");
    ExtractionHelperScanMarks helper(format, {"Profile 1", "Mark", 0, 0, true}, 9, 10.0f, true);
    helper.Extract(*Render(device, format, 9));
    auto points = PointImage(96, kColumns, 9);
    helper.FillPoints(*points, 1);
    for (int scan = 0; scan < 9; ++scan) {
        EXPECT_EQ(0.5f * scan, FloatAt(*points, static_cast<size_t>(scan * kColumns + 7), 1))
            << "scan " << scan;
    }
    EXPECT_EQ(6, helper.OvertrigCount());
}

TEST_F(ScanPositionTest, ScanPositionsMakeNoGrayscaleImage) {
    const icon::DataFormat format = CogFormat(2, true);
    ExtractionHelperScanMarks marks(format, {"Profile 1", "Mark", 0, 0, true}, 2, 1.0f, false);
    ExtractionHelperScanCount count(format, kCogRange, 2, 1.0f);
    ImageBuffer gray(8, 2, 2);
    for (ExtractionHelper* helper :
         {static_cast<ExtractionHelper*>(&marks), static_cast<ExtractionHelper*>(&count)}) {
        try {
            helper->FillGrayscale(gray);
            ADD_FAILURE() << "no grayscale from scan positions";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("Scan marks not supported for grayscale image", e.what());
        }
    }
}

TEST_F(ScanPositionTest, MarkRecordsWithoutOvertriggerWordAreRefused) {
    icon::Component cog("Profile 1", "COG");
    cog.addSubComponent(icon::SubComponent("Mark", "MARK", 1));
    cog.addSubComponent(icon::SubComponent("Sum", "WORD", 4));
    cog.addSubComponent(icon::SubComponent("XSum", "WORD", 4));
    icon::DataFormat format;
    format.addComponent(cog);
    EXPECT_THROW(
        ExtractionHelperScanMarks(format, {"Profile 1", "Mark", 0, 0, true}, 2, 1.0f, true),
        std::runtime_error);
}

// Nothing is read or written past the scans a buffer holds or past the image.
using BoundsTest = SimFixture;

TEST_F(BoundsTest, BuffersOfOtherScanCountsOrLayoutsAreRefusedBeforeReading) {
    const icon::DataFormat format = CogFormat(8, true);
    ExtractionHelperCOG cog(format, kCogRange, 4);
    ExtractionHelperScanMarks marks(format, {"Profile 1", "Mark", 0, 0, true}, 4, 1.0f, true);
    for (ExtractionHelper* helper :
         {static_cast<ExtractionHelper*>(&cog), static_cast<ExtractionHelper*>(&marks)}) {
        try {
            helper->Extract(*EmptyBuffer(format, 2));
            ADD_FAILURE() << "a short buffer must be refused";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("ExtractionHelper: buffer holds 2 scans, expected 4", e.what());
        }
    }
    try {
        cog.Extract(*EmptyBuffer(CogFormat(6, true), 4));
        FAIL() << "narrower scans must be refused";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(
            "ExtractionHelper: buffer has no subcomponent 'Profile 1 - Sum' of type WORD and width "
            "8",
            e.what());
    }
    EXPECT_THROW(cog.Extract(*EmptyBuffer(RangeFormat(8), 4)), std::runtime_error);
    EXPECT_NO_THROW(cog.Extract(*EmptyBuffer(format, 4)));
}

TEST_F(BoundsTest, ImagesOfAnotherSizeAreRefusedBeforeWriting) {
    const icon::DataFormat format = RangeFormat(8);
    ExtractionHelperDirect range(format, kRange, 4);
    ExtractionHelperDirect intensity(format, kIntensity, 4);
    ImageBuffer tall(8, 8, 5);
    ImageBuffer narrow(8, 7, 4);
    for (ImageBuffer* image : {&tall, &narrow}) {
        EXPECT_THROW(range.FillGrayscale(*image), std::runtime_error);
        EXPECT_THROW(intensity.FillGrayscale(*image), std::runtime_error);
    }
    ImageBuffer shrunk(8, 8, 4);
    shrunk.Allocate(16);
    EXPECT_THROW(range.FillGrayscale(shrunk), std::runtime_error);

    auto xyz = PointImage(96, 8, 4);
    EXPECT_NO_THROW(range.FillPoints(*xyz, 2));
    try {
        range.FillPoints(*xyz, 3);
        FAIL() << "a point of three floats has no contrast";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(
            "ExtractionHelper: image of 8 x 4 pixels of 12 bytes (384 bytes in all) cannot take "
            "8 x 4 values of 16 bytes",
            e.what());
    }
    EXPECT_THROW(range.FillPoints(*xyz, 5), std::runtime_error);
    EXPECT_THROW(range.FillPoints(*xyz, 0), std::runtime_error);
    auto shortPoints = PointImage(96, 8, 3);
    EXPECT_THROW(range.FillPoints(*shortPoints, 2), std::runtime_error);
    ExtractionHelperScanCount count(format, kRange, 4, 1.0f);
    EXPECT_THROW(count.FillPoints(*shortPoints, 1), std::runtime_error);
}
