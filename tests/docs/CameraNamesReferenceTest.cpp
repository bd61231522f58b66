// docs/camera-names.md against the driver: the simulation file shown on the
// page is loaded, the configuration names the driver offers must be the
// page's list, and every example host name must open the camera the table
// names (or fail to open where it names none), with the image name the
// table gives.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "camera/HostNames.h"
#include "icon/Simulation.h"
#include "tests/docs/MarkdownPage.h"
#include "tests/support/ContextFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

class CameraNamesReference : public ContextFixture {
  protected:
    void SetUp() override {
        ContextFixture::SetUp();
        const auto blocks = page_.CodeBlocksIn("Cameras found on the network");
        ASSERT_EQ(2u, blocks.size()) << "the simulation file and the list";
        icon::sim::SimulationConfig simulation;
        std::string error;
        ASSERT_TRUE(icon::sim::parseConfig(blocks[0].text, simulation, error)) << error;
        for (icon::sim::DeviceConfig& device : simulation.devices) {
            device.sensor = icon::sim::SensorGeometry::standard(64, 32, 600.0, 200.0, 0.0);
        }
        icon::sim::configure(simulation);
        std::istringstream list(blocks[1].text);
        for (std::string name; std::getline(list, name);) {
            listed_.push_back(name);
        }
        // The opening line that names the camera is a level 2 line.
        std::ofstream(systemDir_ / "VaveZAZ.ini") << "[General]\nLogLevel=2\n";
    }

    void TearDown() override {
        while (context_->refCount > 0) {
            finalize();
        }
        icon::sim::resetConfiguration();
        ContextFixture::TearDown();
    }

    const MarkdownPage page_{"docs/camera-names.md"};
    std::vector<std::string> listed_;
};

}  // namespace

TEST_F(CameraNamesReference, TheDriverOffersTheListedConfigurations) {
    ASSERT_EQ(1, initialize(systemDir_.string().c_str(), LogCapture::Proc()));
    std::vector<std::string> offered;
    for (const char** name = getCVLCameraConfigNames(); name != nullptr && *name != nullptr;
         ++name) {
        offered.push_back(*name);
    }
    EXPECT_EQ(listed_, offered);
    EXPECT_EQ(static_cast<int>(listed_.size()), getCVLNoOfSupportedCameras());
}

TEST_F(CameraNamesReference, EachExampleOpensTheCameraItNames) {
    const MarkdownPage::Table examples = page_.TableIn("Examples");
    for (const auto& row : examples.rows) {
        const std::string hostName = FirstCode(examples.Cell(row, "Host name"));
        const std::string cameraCell = examples.Cell(row, "Camera");
        SCOPED_TRACE("host name " + hostName);
        // Each name in a fresh camera list: a search, or a manual camera.
        ASSERT_EQ(1, initialize(systemDir_.string().c_str(), LogCapture::Proc()));
        capture_.Clear();
        int size[2] = {0, 0};
        const int opened = openCVLPort(0, 1, hostName.c_str(), size);
        if (cameraCell.rfind("none", 0) == 0) {
            EXPECT_EQ(0, opened);
        } else {
            EXPECT_EQ(1, opened);
            EXPECT_TRUE(capture_.Contains("openCVLPort: leaving -- Camera " +
                                          FirstCode(cameraCell) + " OPENED on port 1\n"));
            EXPECT_EQ(FirstCode(examples.Cell(row, "Image name")), GetImageSuffix(hostName));
            closeCVLPort(0, 1);
        }
        EXPECT_EQ(1, finalize());
    }
}
