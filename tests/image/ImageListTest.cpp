#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "config/ParamEnum.h"
#include "image/ImageList.h"
#include "tests/image/ImageTestSupport.h"

using namespace imagetest;
using ::testing::HasSubstr;

namespace {

std::vector<std::string> Describe(const std::vector<ImageSource>& sources) {
    std::vector<std::string> described;
    for (const ImageSource& source : sources) {
        std::ostringstream text;
        text << source.DisplayName() << " " << source.componentIndex << "/"
             << source.subComponentIndex << (source.isCog ? " COG" : "");
        described.push_back(text.str());
    }
    return described;
}

std::vector<std::string> Offered(CameraParameters& set, const char* name) {
    const auto& choice = dynamic_cast<const ParamEnum&>(set.GetParam(name));
    std::vector<std::string> offered;
    for (size_t i = 0; i < choice.labels.size(); ++i) {
        offered.push_back(choice.labels[i] + "=" + std::to_string(choice.values[i]));
    }
    return offered;
}

class ImageListTest : public SimFixture {
  protected:
    std::string SettingsText() const {
        std::ifstream file(systemDir_ / "VaveZAZ.ini");
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    void Store(const std::string& text) const { std::ofstream(systemDir_ / "VaveZAZ.ini") << text; }

    const icon::sim::DeviceConfig device_ = SceneDevice();
    const icon::DataFormat measurement_ = DeviceFormat(device_, "Measurement");
};

}  // namespace

TEST_F(ImageListTest, EveryKindOfComponentListsItsImages) {
    CameraState cog = Camera(measurement_, 16);
    ImageList marked(cog);
    marked.BuildImageList();
    marked.BuildImageList();
    EXPECT_EQ((std::vector<std::string>{"Profile 1 - Mark 0/0 COG", "Profile 1 - Range 0/1 COG",
                                        "Profile 1 - Intensity 0/2 COG"}),
              Describe(marked.Sources()));

    icon::DataFormat mixed = CogFormat(8, false);
    mixed.addComponent(*RangeFormat(8).getComponent(0));
    mixed.addComponent(*DeviceFormat(device_, "Image").getComponent(0));
    CameraState camera = Camera(mixed, 16);
    ImageList list(camera);
    list.BuildImageList();
    EXPECT_EQ((std::vector<std::string>{"Profile 1 - Range 0/0 COG",
                                        "Profile 1 - Intensity 0/1 COG", "Peak 1 - Mark 1/0",
                                        "Peak 1 - Range 1/1", "Peak 1 - Intensity 1/2",
                                        "Frame 1 - Mark 2/0", "Frame 1 - Image 2/1"}),
              Describe(list.Sources()));
}

TEST_F(ImageListTest, ComponentsWithoutSubcomponentsGiveNoImagesAndNoAdapter) {
    icon::DataFormat format;
    format.addComponent(icon::Component("Peak 1", "RANGE"));
    format.addComponent(icon::Component("Frame 1", "IMAGE"));
    CameraState camera = Camera(format, 16);
    ImageList list(camera);
    list.BuildImageList();
    EXPECT_TRUE(list.Sources().empty());
    try {
        list.CreateImageAdapter(1, "3");
        FAIL() << "nothing to build an image from";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("No images on camera 'Cam.3'", e.what());
    }
}

TEST_F(ImageListTest, NothingStoredBuildsAGrayscaleAdapterOnTheFirstImageThatIsNoMark) {
    CameraState camera = Camera(measurement_, 16);
    ImageList list(camera);
    list.BuildImageList();
    std::unique_ptr<ImageAdapter> adapter = list.CreateImageAdapter(4, "1");
    EXPECT_EQ(4, adapter->GetPort());
    EXPECT_EQ("1", adapter->GetImageName());
    EXPECT_EQ(8, adapter->GetBitsPerPixel());
    EXPECT_EQ("Range", adapter->GetSource().subComponentName);
    CameraParameters& set = adapter->GetParameters();
    EXPECT_EQ("Cam.1", set.Name());
    EXPECT_EQ((std::vector<std::string>{"Profile 1 - Range=1", "Profile 1 - Intensity=2"}),
              Offered(set, "Image"));
    const std::vector<std::string> all{"Profile 1 - Mark=0", "Profile 1 - Range=1",
                                       "Profile 1 - Intensity=2"};
    EXPECT_EQ(all, Offered(set, "Contrast"));
    EXPECT_EQ(all, Offered(set, "Intensity"));

    adapter->ProcessBuffer(Render(device_, measurement_, 16));
    EXPECT_EQ(kBoxRow, adapter->GetImageBuffer().GetLine(0)[32]);
}

TEST_F(ImageListTest, ParameterSetAsStoredInTheSettingsFile) {
    CameraState camera = Camera(measurement_, 16);
    ImageList list(camera);
    list.BuildImageList();
    std::unique_ptr<ImageAdapter> adapter = list.CreateImageAdapter(4, "1");
    CameraParameters& set = adapter->GetParameters();
    std::vector<std::string> described;
    for (Param_& param : set.Params()) {
        std::ostringstream text;
        text << param.category << "|" << param.name << "|" << param.ToString() << "|";
        param.WriteRange(text);
        const auto* choice = dynamic_cast<const ParamEnum*>(&param);
        text << "|"
             << (choice == nullptr      ? "real"
                 : choice->storeByValue ? "value"
                                        : "label")
             << "|" << param.description;
        described.push_back(text.str());
    }
    EXPECT_EQ((std::vector<std::string>{
                  "Image|Image|1||value|SubComponent to be used for the image",
                  "Image|ImageFormat|Grayscale||label|",
                  "Image|Contrast|0||value|SubComponent to be used for the contrast value",
                  "Image|Intensity|0||value|SubComponent to be used for the intensity value",
                  "Image|CalibrationFilter|0||value|Translate sensor positions into real-world "
                  "coordinates",
                  "Image|RectificationFilter|0||value|Resample X-axis coordinates onto a regular "
                  "grid",
                  "Image|PulsesPerMillimeter|1||real|The resolution of the encoder counter",
                  "Image|LaserPlaneCompensation|0||value|Compensate for the skewed coordinate "
                  "system",
                  "Image|LaserPlaneAngle|0|[-90..90]|real|The angle between Laser and XZ plane",
                  "Image|MinHeight|1||real|Minimum acceptable height value",
                  "Image|MaxHeight|1000||real|Maximum acceptable height value"}),
              described);

    // A grayscale image switches everything but the image off.
    set.Save();
    EXPECT_EQ("[Cam.1]\nImage=1\nImageFormat=Grayscale\n", SettingsText());

    set.GetParam("ImageFormat").FromString("3D (XYZ)", false);
    set.GetParam("CalibrationFilter").FromString("1", false);
    std::string message;
    EXPECT_TRUE(set.Validate(message)) << message;
    set.Save();
    EXPECT_EQ(
        "[Cam.1]\nImage=1\nImageFormat=3D (XYZ)\nCalibrationFilter=1\nRectificationFilter=0\n"
        "PulsesPerMillimeter=1\nLaserPlaneCompensation=0\nMinHeight=1\nMaxHeight=1000\n",
        SettingsText());

    set.GetParam("ImageFormat").FromString("3D (XYZCI)", false);
    set.GetParam("LaserPlaneCompensation").FromString("1", false);
    set.GetParam("Contrast").FromString("0", false);
    EXPECT_TRUE(set.Validate(message)) << message;
    set.Save();
    EXPECT_EQ(
        "[Cam.1]\nImage=1\nImageFormat=3D (XYZCI)\nCalibrationFilter=1\nRectificationFilter=0\n"
        "PulsesPerMillimeter=1\nLaserPlaneCompensation=1\nMinHeight=1\nMaxHeight=1000\n"
        "Contrast=0\nIntensity=0\nLaserPlaneAngle=0\n",
        SettingsText());
}

TEST_F(ImageListTest, StoredChoicesPickTheImageOfEachPort) {
    Store("[Cam.1]\nImage=2\nImageFormat=Grayscale\n[Cam.2]\nImage=1\n");
    CameraState camera = Camera(measurement_, 16);
    ImageList list(camera);
    list.BuildImageList();
    std::unique_ptr<ImageAdapter> intensity = list.CreateImageAdapter(1, "1");
    std::unique_ptr<ImageAdapter> range = list.CreateImageAdapter(2, "2");
    EXPECT_EQ("Profile 1 - Intensity", intensity->GetSource().DisplayName());
    EXPECT_EQ("Profile 1 - Range", range->GetSource().DisplayName());
    EXPECT_EQ("Cam.2", range->GetParameters().Name());

    const auto buffer = Render(device_, measurement_, 16);
    intensity->ProcessBuffer(buffer);
    range->ProcessBuffer(buffer);
    // The box's light, the top 8 of the weight's 13 bits.
    EXPECT_EQ(LineWeight(0.8, device_.sensor.rows) >> 5,
              intensity->GetImageBuffer().GetLine(0)[32]);
    EXPECT_EQ(kBoxRow, range->GetImageBuffer().GetLine(0)[32]);
}

TEST_F(ImageListTest, ThreeDimensionalFormatsBuildPointCloudsOfTheChosenSources) {
    CameraState camera = Camera(measurement_, 16);
    ImageList list(camera);
    list.BuildImageList();
    Store(
        "[Cam.1]\nImageFormat=3D (XYZ)\n[Cam.2]\nImageFormat=3D (XYZCI)\nContrast=2\n"
        "Intensity=0\n");
    std::unique_ptr<ImageAdapter> xyz = list.CreateImageAdapter(1, "1");
    EXPECT_EQ(96, xyz->GetBitsPerPixel());
    EXPECT_EQ(0, xyz->GetWidth()) << "no points until the first cloud";
    EXPECT_EQ(1, xyz->GetHeight());
    EXPECT_EQ("Range", xyz->GetSource().subComponentName);
    std::unique_ptr<ImageAdapter> xyzci = list.CreateImageAdapter(2, "2");
    EXPECT_EQ(160, xyzci->GetBitsPerPixel());
    EXPECT_EQ(1, xyzci->GetHeight());
}

TEST_F(ImageListTest, InvalidStoredChoicesAreLoggedAndBuiltAsTheyStand) {
    context_->logLevel = 2;
    Store("[Cam.1]\nImageFormat=Colour\nImage=2\n");
    CameraState camera = Camera(measurement_, 16);
    ImageList list(camera);
    list.BuildImageList();
    std::unique_ptr<ImageAdapter> adapter = list.CreateImageAdapter(1, "1");
    EXPECT_EQ(8, adapter->GetBitsPerPixel()) << "an unknown format counts as grayscale";
    EXPECT_EQ("Intensity", adapter->GetSource().subComponentName);
    const std::vector<std::string> logged = capture_.Messages();
    ASSERT_EQ(1u, logged.size());
    EXPECT_THAT(logged[0], ::testing::StartsWith("WARNING: Configuration not valid: Image: "
                                                 "ImageFormat"));
    EXPECT_THAT(logged[0], ::testing::EndsWith(", camera: Cam.1\n"));
}
