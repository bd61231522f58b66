// The configuration page and sheet on the grid's model, without a display:
// the adapters between parameters and items, filling the page, validation
// after every edit, and the name and description lines.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <typeinfo>

#include "config/CameraDefaults.h"
#include "config/CameraParameters.h"
#include "config/ConstraintEnumOff.h"
#include "config/ParamEnum.h"
#include "config/dialog/CPropertyGeneral.h"
#include "config/dialog/CSheet1.h"
#include "config/dialog/ParamValue.h"
#include "config/dialog/PropertyControlAdapter.h"
#include "config/dialog/PropertyControlAdapterEnum.h"
#include "config/dialog/PropertyControlAdapterFile.h"
#include "config/dialog/PropertyControlAdapterInt.h"
#include "tests/support/ContextFixture.h"

namespace {

std::unique_ptr<ParamEnum> Choice(const std::string& name, std::vector<ParamEnum::Entry> entries) {
    return std::make_unique<ParamEnum>("Image", name, "", entries);
}

// An image set shaped like the driver's: a format that switches the 3D
// settings off, and a filter choice.
CameraParameters ImageSet(const std::string& format) {
    CameraParameters set("192.168.0.10.1");
    auto imageFormat = Choice("ImageFormat", {{"Grayscale", 0}, {"3D (XYZ)", 1}});
    imageFormat->value = format;
    set.AddParam(std::move(imageFormat));
    set.AddParam(Choice("CalibrationFilter", {{"Disabled", 0}, {"Enabled", 1}}));
    set.AddParam(
        std::make_unique<Param<double>>("Image", "LaserPlaneAngle", 0.0, -90.0, 90.0, 0.0));
    set.AddParam(std::make_unique<Param<double>>("Image", "MinHeight", 1.0));
    auto off = std::make_unique<ConstraintEnumOff>("ImageFormat", "Grayscale");
    off->dependents = {"CalibrationFilter", "LaserPlaneAngle", "MinHeight"};
    set.AddConstraint(std::move(off));
    std::string message;
    set.Validate(message);
    return set;
}

class ConfigurationPage : public ContextFixture {
  protected:
    void SetUp() override {
        ContextFixture::SetUp();
        CreateDefaultParameters(cameraSet_);
    }

    // Builds and fills the page over the two sets as the dialog does.
    CPropertyGeneral& Open() {
        page_ = std::make_unique<CPropertyGeneral>(cameraSet_, imageSet_, sheet_);
        page_->OnInitDialog();
        return *page_;
    }
    CPropertyGrid& Grid() { return page_->Grid(); }
    int32_t Item(const std::string& name) const { return page_->ItemOf(name); }
    void Type(const std::string& name, const std::string& text) {
        ASSERT_TRUE(Grid().BeginInPlaceEdit(Item(name)).has_value()) << name;
        Grid().EndInPlaceEdit(text);
    }
    std::vector<std::string> SectionTitles() {
        std::vector<std::string> titles;
        for (const PropertyGridRow& row : Grid().Rows()) {
            if (row.isSection) {
                titles.push_back(Grid().FindSection(row.id)->title);
            }
        }
        return titles;
    }

    CameraParameters cameraSet_{"192.168.0.10"};
    CameraParameters imageSet_{"Configure camera: 192.168.0.10.1"};
    CSheet1 sheet_{"Configure camera: 192.168.0.10.1"};
    std::unique_ptr<CPropertyGeneral> page_;
};

}  // namespace

namespace {

const std::type_info& AdapterType(const Param_& param) {
    const boost::shared_ptr<PropertyControlAdapter> shared = AdapterFor(param);
    const PropertyControlAdapter& adapter = *shared;
    return typeid(adapter);
}

}  // namespace

TEST(PropertyControlAdapters, EachParameterTypeGetsItsAdapterAndOthersAreRefused) {
    ParamString file("Camera", "ConfigurationFile", "a.prm");
    Param<int> fileAsInt("Camera", "ConfigurationFile", 1, 0, 2, 0);
    ParamEnum choice("Image", "ImageFormat", "Grayscale");
    Param<int> count("Camera", "NumberOfScans", 1, 1, 9, 0);
    Param<std::string> plain("Camera", "Plain", "x");
    EXPECT_EQ(typeid(PropertyControlAdapterFile), AdapterType(file));
    EXPECT_EQ(typeid(PropertyControlAdapterFile), AdapterType(fileAsInt))
        << "the file setting is chosen by name, whatever its type";
    EXPECT_EQ(typeid(PropertyControlAdapterEnum), AdapterType(choice));
    EXPECT_EQ(typeid(PropertyControlAdapterInt), AdapterType(count));
    EXPECT_EQ(AdapterFor(count).get(), AdapterFor(count).get()) << "one adapter per kind";
    try {
        AdapterFor(plain);
        FAIL() << "a plain text parameter has no adapter";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Unsupported parameter type", e.what());
    }
}

TEST(PropertyControlAdapters, WrongTypesAndRefusedValuesNameTheParameter) {
    Param<double> angle("Image", "LaserPlaneAngle", 1.0);
    try {
        GetValue<int>(angle);
        FAIL();
    } catch (const std::bad_cast& e) {
        EXPECT_STREQ("Wrong parameter 'LaserPlaneAngle' type", e.what());
    }
    CPropertyGrid grid;
    const int32_t section = grid.AddSection("Image");
    const int32_t text = grid.AddStringItem(section, "text", "x");
    auto adapter = AdapterFor(angle);
    EXPECT_THROW(
        try { adapter->SetControl(angle, grid, text); } catch (const std::runtime_error& e) {
            EXPECT_STREQ("Failed to set control 'LaserPlaneAngle' value", e.what());
            throw;
        },
        std::runtime_error);
    EXPECT_THROW(
        try { adapter->GetControl(angle, grid, 99); } catch (const std::runtime_error& e) {
            EXPECT_STREQ("Failed to get control 'LaserPlaneAngle' value", e.what());
            throw;
        },
        std::runtime_error);
}

TEST(PropertyControlAdapters, AnEnumShowsTheLastLabelOfTheCurrentValueAndReadsBackTheLabel) {
    ParamEnum choice("Image", "Image", "", {{"Mark", 0}, {"Range", 1}, {"Range (copy)", 1}});
    choice.value = "Range";
    CPropertyGrid grid;
    const int32_t item = AdapterFor(choice)->AddItem(choice, grid, grid.AddSection("Image"));
    EXPECT_EQ("Range (copy)", grid.DisplayText(item));
    ASSERT_TRUE(grid.EndChoiceEdit(item, 0));
    AdapterFor(choice)->GetControl(choice, grid, item);
    EXPECT_EQ("Mark", choice.value);
    choice.enabled = false;
    const int32_t disabled = AdapterFor(choice)->AddItem(choice, grid, 0);
    EXPECT_FALSE(grid.IsEditable(disabled)) << "a disabled parameter is shown read-only";
}

TEST_F(ConfigurationPage, ShowsTheVisibleSettingsInSectionsOfFirstUse) {
    imageSet_ = ImageSet("Grayscale");
    Open();
    EXPECT_EQ((std::vector<std::string>{"General", "Camera", "Image"}), SectionTitles());
    EXPECT_EQ(-1, Item("DebugViewOutput"));
    EXPECT_EQ(-1, Item("ConfigurationType"));
    EXPECT_NE(-1, Item("LogIntoFile"));
    EXPECT_EQ("512", Grid().DisplayText(Item("NumberOfScans")));
    EXPECT_EQ("Grayscale", Grid().DisplayText(Item("ImageFormat")));
    EXPECT_FALSE(Grid().IsEditable(Item("LaserPlaneAngle"))) << "switched off by the format";
    EXPECT_EQ("", page_->NameText()) << "both lines start empty";
    EXPECT_EQ("", page_->DescriptionText());
}

TEST_F(ConfigurationPage, ACategoryOfBothSetsSharesOneSection) {
    imageSet_.AddParam(std::make_unique<Param<int>>("Camera", "Exposure", 5, 1, 10, 0));
    Open();
    EXPECT_EQ((std::vector<std::string>{"General", "Camera"}), SectionTitles());
    EXPECT_EQ(Grid().Rows()[Grid().Rows().size() - 1].id, Item("Exposure"))
        << "added last, under the camera's section";
}

TEST_F(ConfigurationPage, WithoutAnImageSetOnlyTheCameraSettingsAreShown) {
    Open();
    EXPECT_EQ((std::vector<std::string>{"General", "Camera"}), SectionTitles());
}

TEST_F(ConfigurationPage, AnOutOfRangeValueDisablesOkUntilItIsMended) {
    Open();
    EXPECT_TRUE(sheet_.IsOkEnabled());
    Type("BufferSize", "0");
    EXPECT_EQ(0, cameraSet_.GetParameter<int>("BufferSize")) << "written into the working copy";
    EXPECT_FALSE(sheet_.IsOkEnabled());
    EXPECT_FALSE(sheet_.IsValid());
    EXPECT_EQ("General: Camera: BufferSize: out of range [1..3000]", sheet_.StatusText());
    Type("BufferSize", "20");
    EXPECT_TRUE(sheet_.IsOkEnabled());
    EXPECT_EQ("", sheet_.StatusText());
}

TEST_F(ConfigurationPage, ANumberBeyondThirtyTwoBitsIsRejectedNotWrappedIntoRange) {
    Open();
    // 2^32 + 5: its low 32 bits would read as a valid 5.
    Type("BufferSize", "4294967301");
    EXPECT_NE(5, cameraSet_.GetParameter<int>("BufferSize"));
    EXPECT_FALSE(sheet_.IsOkEnabled());
    Type("NumberOfScans", "-4294967295");
    EXPECT_NE(1, cameraSet_.GetParameter<int>("NumberOfScans"));
}

TEST_F(ConfigurationPage, SwitchingTheFormatToGrayscaleGreysTheThreeDSettingsAtOnce) {
    imageSet_ = ImageSet("3D (XYZ)");
    Open();
    ASSERT_TRUE(Grid().IsEditable(Item("LaserPlaneAngle")));
    ASSERT_TRUE(Grid().EndChoiceEdit(Item("ImageFormat"), 0));
    EXPECT_EQ("Grayscale", imageSet_.GetParameter<std::string>("ImageFormat"));
    for (const char* name : {"CalibrationFilter", "LaserPlaneAngle", "MinHeight"}) {
        EXPECT_FALSE(Grid().IsEditable(Item(name))) << name;
        EXPECT_FALSE(imageSet_.GetParam(name).enabled) << name << " is then neither saved";
    }
    ASSERT_TRUE(Grid().EndChoiceEdit(Item("ImageFormat"), 1));
    EXPECT_TRUE(Grid().IsEditable(Item("MinHeight")));
}

TEST_F(ConfigurationPage, AnInvalidImageSettingIsReportedAfterAValidCameraSet) {
    imageSet_ = ImageSet("3D (XYZ)");
    Open();
    Type("LaserPlaneAngle", "91");
    EXPECT_EQ("General: Image: LaserPlaneAngle: out of range [-90..90]", sheet_.StatusText());
    Type("BufferSize", "0");
    EXPECT_EQ("General: Camera: BufferSize: out of range [1..3000]", sheet_.StatusText())
        << "the camera set is validated first";
}

TEST_F(ConfigurationPage, AParameterFileIsStoredRelativeToTheSystemDirectoryWhenNearIt) {
    // Stored with the platform's separator, as the driver stores it.
    const auto stored = [](const char* dir, const char* file) {
        return (std::filesystem::path(dir) / file).string();
    };
    cameraSet_.GetParam("ConfigurationFile").FromString(stored(".", "cam.prm"), false);
    Open();
    const int32_t item = Item("ConfigurationFile");
    EXPECT_EQ((systemDir_ / "cam.prm").string(), Grid().DisplayText(item))
        << "shown as a full path";
    ASSERT_TRUE(Grid().EndTextEdit(item, (systemDir_ / "other.prm").string()));
    EXPECT_EQ(stored(".", "other.prm"), cameraSet_.GetParameter<std::string>("ConfigurationFile"));
    ASSERT_TRUE(Grid().EndTextEdit(item, (systemDir_.parent_path() / "near.prm").string()));
    EXPECT_EQ(stored("..", "near.prm"), cameraSet_.GetParameter<std::string>("ConfigurationFile"));
    const std::string far = (systemDir_.parent_path().parent_path() / "far.prm").string();
    ASSERT_TRUE(Grid().EndTextEdit(item, far));
    EXPECT_EQ(far, cameraSet_.GetParameter<std::string>("ConfigurationFile"));
}

TEST_F(ConfigurationPage, NoParameterFileShowsAnEmptyItemWhoseChooserStartsInTheSystemDirectory) {
    Open();
    const int32_t item = Item("ConfigurationFile");
    EXPECT_EQ("", Grid().DisplayText(item));
    EXPECT_EQ(systemDir_.string(), Grid().ChooserFolder(item))
        << "where a chosen file is stored as \"./name\"";
    const std::filesystem::path elsewhere = systemDir_.parent_path() / "cameras" / "cam.prm";
    ASSERT_TRUE(Grid().EndTextEdit(item, elsewhere.string()));
    EXPECT_EQ(elsewhere.parent_path().string(), Grid().ChooserFolder(item))
        << "a chosen file's own folder";
}

TEST_F(ConfigurationPage, TheFocusedParameterIsNamedWithItsRangeAndDescribed) {
    imageSet_ = ImageSet("3D (XYZ)");
    Open();
    ASSERT_TRUE(Grid().SetFocusedItem(Item("NumberOfScans")));
    EXPECT_EQ("NumberOfScans [1..65535]", page_->NameText());
    EXPECT_EQ("Number of scans delivered per buffer", page_->DescriptionText());
    ASSERT_TRUE(Grid().SetFocusedItem(Item("ImageFormat")));
    EXPECT_EQ("ImageFormat", page_->NameText()) << "an enumeration shows no range";
    ASSERT_TRUE(Grid().SetFocusedItem(Item("LaserPlaneAngle")));
    EXPECT_EQ("LaserPlaneAngle [-90..90]", page_->NameText());
    page_->OnFocusChanged(4711);
    EXPECT_EQ("", page_->NameText()) << "an unknown item empties both lines";
    EXPECT_EQ("", page_->DescriptionText());
    Grid().FocusRow(0);
    EXPECT_EQ("", page_->NameText()) << "so does a section row";
}

TEST_F(ConfigurationPage, TheLastFocusedItemIsRememberedInTheWorkingCopyOnly) {
    Open();
    ASSERT_TRUE(Grid().SetFocusedItem(Item("BufferSize")));
    ASSERT_TRUE(cameraSet_.HasParam("LastFocusedItemName"));
    const Param_& remembered = cameraSet_.GetParam("LastFocusedItemName");
    EXPECT_EQ("BufferSize", cameraSet_.GetParameter<std::string>("LastFocusedItemName"));
    EXPECT_EQ("Internal", remembered.category);
    EXPECT_TRUE(remembered.general);
    EXPECT_FALSE(remembered.persistent || remembered.visible || remembered.enabled);
    // A page over a set that carries the name focuses that item again.
    CameraParameters again(cameraSet_);
    CSheet1 sheet("again");
    CameraParameters noImage("none");
    CPropertyGeneral next(again, noImage, sheet);
    next.OnInitDialog();
    EXPECT_EQ(next.ItemOf("BufferSize"), next.Grid().GetFocusedItem());
    EXPECT_EQ("", next.NameText()) << "the lines are emptied after filling";
}

TEST_F(ConfigurationPage, TheStatusTextIsCutTo254Characters) {
    Open();
    sheet_.ShowMessage(*page_, std::string(300, 'x'));
    ASSERT_EQ(254u, sheet_.StatusText().size());
    EXPECT_EQ("General: xxx", sheet_.StatusText().substr(0, 12));
    sheet_.SetValid(false);
    EXPECT_EQ(254u, sheet_.StatusText().size()) << "an invalid state keeps the message";
    sheet_.SetValid(true);
    EXPECT_EQ("", sheet_.StatusText());
}

TEST_F(ConfigurationPage, RowsShowRangeAndUnitAndMarkValuesThatAreNotTheirDefault) {
    dynamic_cast<Param<int>&>(cameraSet_.GetParam("BufferSize")).value = 4;
    Open();
    const PropertyGridItem* buffer = Grid().FindItem(Item("BufferSize"));
    EXPECT_EQ("[1..3000] MB", buffer->hint) << "the unit its description names";
    EXPECT_EQ("Frame grabber buffer size in megabytes", buffer->description);
    EXPECT_TRUE(buffer->differsFromDefault);
    EXPECT_EQ("[1..65535]", Grid().FindItem(Item("NumberOfScans"))->hint);
    EXPECT_FALSE(Grid().FindItem(Item("NumberOfScans"))->differsFromDefault);
    Type("NumberOfScans", "100");
    EXPECT_TRUE(Grid().FindItem(Item("NumberOfScans"))->differsFromDefault);
}

TEST_F(ConfigurationPage, ResetGivesTheFocusedParameterItsDefaultAsAnEditWould) {
    struct Buttons : PageView {
        void SetLabels(const std::string&, const std::string&) override {}
        void EnableReset(bool enable) override { enabled = enable; }
        bool enabled = false;
    } view;
    dynamic_cast<Param<int>&>(cameraSet_.GetParam("BufferSize")).value = 4000;
    Open().SetView(&view);
    ASSERT_TRUE(Grid().SetFocusedItem(Item("BufferSize")));
    EXPECT_TRUE(view.enabled);
    Type("BufferSize", "0");
    EXPECT_TRUE(Grid().FindItem(Item("BufferSize"))->invalid) << "marked where it is";
    ASSERT_TRUE(page_->ResetFocused());
    EXPECT_EQ(20, cameraSet_.GetParameter<int>("BufferSize"));
    EXPECT_EQ("20", Grid().DisplayText(Item("BufferSize")));
    EXPECT_FALSE(Grid().FindItem(Item("BufferSize"))->invalid);
    EXPECT_TRUE(sheet_.IsOkEnabled()) << "validated as an edit is";
    EXPECT_FALSE(view.enabled) << "nothing left to reset";
    EXPECT_FALSE(page_->ResetFocused());
    ASSERT_TRUE(Grid().SetFocusedItem(Item("LogIntoFile")));
    cameraSet_.GetParam("LogIntoFile").enabled = false;
    dynamic_cast<Param<bool>&>(cameraSet_.GetParam("LogIntoFile")).value = true;
    EXPECT_FALSE(page_->ResetFocused()) << "a read-only parameter keeps its value";
}

TEST_F(ConfigurationPage, ANegativeNumberForAnUnsignedParameterIsRefusedWithAMessage) {
    imageSet_.AddParam(std::make_unique<Param<unsigned int>>("Image", "Repeats", 3u));
    Open();
    Type("Repeats", "-5");
    EXPECT_EQ(3u, dynamic_cast<Param<unsigned int>&>(imageSet_.GetParam("Repeats")).value);
    EXPECT_EQ("3", Grid().DisplayText(Item("Repeats"))) << "the item shows the kept value";
    EXPECT_EQ("General: Repeats: -5 is not a number from 0 to 4294967295", sheet_.StatusText());
    Type("Repeats", "4294967295");
    EXPECT_EQ(4294967295u, dynamic_cast<Param<unsigned int>&>(imageSet_.GetParam("Repeats")).value);
}

TEST(ConfigurationSheet, OkClosesOnlyOnceTheValuesAreKeptAndTellsWhyOverTheSheet) {
    struct Window : SheetView {
        void EnableOk(bool) override {}
        void SetStatusText(const std::string&) override {}
        void ShowNotice(const std::string& text) override { notices.push_back(text); }
        std::vector<std::string> notices;
    } window;
    CSheet1 sheet("Configure camera: 192.168.0.10.1");
    sheet.SetView(&window);
    std::string failure = "The settings could not be saved";
    int saves = 0;
    sheet.SetSaver([&] {
        ++saves;
        return failure;
    });
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(std::vector<std::string>{failure}, window.notices);
    EXPECT_EQ(failure, sheet.StatusText());
    failure.clear();
    EXPECT_TRUE(sheet.Confirm()) << "OK again, once the file can be written";
    sheet.SetValid(false);
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(2, saves) << "an invalid sheet keeps nothing";
}
