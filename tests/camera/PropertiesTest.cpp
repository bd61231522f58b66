// The host's integer properties of an open port.

#include <gtest/gtest.h>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

using Properties = CameraFixture;

TEST_F(Properties, GeometryNamesAnswerInAnyLetterCase) {
    Start();
    const auto [width, height] = OpenPort(1, kCameraA);
    EXPECT_EQ(width, Property(1, "wIdTh"));
    EXPECT_EQ(height, Property(1, "HEIGHT"));
    EXPECT_EQ(8, Property(1, "pixelsize"));
    int minimum = 0;
    int maximum = 0;
    EXPECT_EQ(0, getPropertyRange(0, 1, "Width", &minimum, &maximum))
        << "geometry has no parameter and so no range";
}

TEST_F(Properties, CameraParametersConvertByTheirType) {
    Start();
    OpenPort(1, kCameraA);
    int minimum = 0;
    int maximum = 0;
    EXPECT_EQ(kScans, Property(1, "numberofscans"));
    EXPECT_EQ(1, setProperty(0, 1, "NumberOfScans", 65535));
    EXPECT_EQ(65535, Property(1, "NumberOfScans"));
    ASSERT_EQ(1, getPropertyRange(0, 1, "NumberOfScans", &minimum, &maximum));
    EXPECT_EQ(1, minimum);
    EXPECT_EQ(65535, maximum);
    EXPECT_TRUE(Logged("Camera::GetRange: leaving prop=NumberOfScans min=1   max=65535 \n"));

    EXPECT_EQ(0, Property(1, "ConfigurationType"));
    EXPECT_EQ(1, setProperty(0, 1, "ConfigurationType", 1));
    EXPECT_EQ(1, Property(1, "ConfigurationType"));
    EXPECT_EQ(1, setProperty(0, 1, "ConfigurationType", 5)) << "an unknown value changes nothing";
    EXPECT_EQ(1, Property(1, "ConfigurationType"));
    ASSERT_EQ(1, getPropertyRange(0, 1, "ConfigurationType", &minimum, &maximum));
    EXPECT_EQ(0, minimum);
    EXPECT_EQ(1, maximum);

    EXPECT_EQ(1, setProperty(0, 1, "LogIntoFile", 7));
    EXPECT_EQ(1, Property(1, "LogIntoFile"));
    ASSERT_EQ(1, getPropertyRange(0, 1, "LogIntoFile", &minimum, &maximum));
    EXPECT_EQ(1, maximum);
}

TEST_F(Properties, TextParametersAndUnknownNamesFail) {
    Start();
    OpenPort(1, kCameraA);
    int value = 0;
    int minimum = 0;
    int maximum = 0;
    EXPECT_EQ(0, getProperty(0, 1, "ConfigurationFile", &value));
    EXPECT_EQ(0, setProperty(0, 1, "ConfigurationFile", 1));
    EXPECT_EQ(0, getPropertyRange(0, 1, "ConfigurationFile", &minimum, &maximum));
    EXPECT_EQ(0, getProperty(0, 1, "NoSuchThing", &value));
    EXPECT_EQ(0, setProperty(0, 1, "NoSuchThing", 1));
}

TEST_F(Properties, AWrittenParameterLastsUntilTheNextFirstOpenReadsTheFile) {
    Start();
    OpenPort(1, kCameraA);
    EXPECT_EQ(1, setProperty(0, 1, "BufferSize", 9));
    closeCVLPort(0, 1);
    OpenPort(1, kCameraA);
    EXPECT_EQ(4, Property(1, "BufferSize")) << "the settings file holds the key";
    EXPECT_EQ(1, setProperty(0, 1, "LogLevel", 2));
    EXPECT_EQ(2, Property(1, "LogLevel"));
    EXPECT_EQ(3, context_->logLevel.load()) << "log settings take effect at the next first open";
}

TEST_F(Properties, StatisticsOnAPortWithoutAnAdapterFail) {
    Start();
    OpenPort(1, kCameraA);
    closeCVLPort(0, 1);
    EXPECT_EQ(0, setProperty(0, 1, "PrintStats", 1));
    EXPECT_TRUE(LoggedContaining("CameraList::GetByPort: could not find camera on port 1"));
}

// An out-of-range scan count or buffer size used to be stored, and the
// camera then failed every open: a value that only an open port could mend.
TEST_F(Properties, AValueOutsideTheParametersRangeIsRefusedAndTheCameraStillOpens) {
    Start();
    OpenPort(1, kCameraA);
    EXPECT_EQ(0, setProperty(0, 1, "NumberOfScans", 0));
    EXPECT_EQ(0, setProperty(0, 1, "BufferSize", -5));
    EXPECT_EQ(0, setProperty(0, 1, "NumberOfScans", 100000));
    EXPECT_EQ(kScans, Property(1, "NumberOfScans"));
    EXPECT_EQ(4, Property(1, "BufferSize"));
    EXPECT_TRUE(
        Logged("Camera::SetProperty: ERROR: Camera: BufferSize: out of range [1..3000], "
               "-5 refused on camera 192.168.0.10\n"));
    closeCVLPort(0, 1);
    OpenPort(1, kCameraA);
}
