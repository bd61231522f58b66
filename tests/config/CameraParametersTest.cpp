#include <gtest/gtest.h>

#include <climits>

#include "config/CameraParameters.h"
#include "config/ConstraintEnumOff.h"
#include "config/ParamEnum.h"
#include "tests/support/ContextFixture.h"

namespace {

std::unique_ptr<ParamEnum> Switch(const std::string& name) {
    return std::make_unique<ParamEnum>("Image", name, "",
                                       std::vector<ParamEnum::Entry>{{"On", 1}, {"Off", 0}});
}

std::unique_ptr<Param<int>> Int(const std::string& name, int value, int min = 0, int max = 0,
                                int step = 0) {
    return std::make_unique<Param<int>>("Camera", name, value, min, max, step);
}

std::unique_ptr<ConstraintEnumOff> OffWhen(const std::string& control,
                                           std::set<std::string> dependents) {
    auto constraint = std::make_unique<ConstraintEnumOff>(control, "Off");
    constraint->dependents = std::move(dependents);
    return constraint;
}

void SetInt(CameraParameters& set, const std::string& name, int value) {
    dynamic_cast<Param<int>&>(set.GetParam(name)).value = value;
}

}  // namespace

TEST(Validate, RangesStepsAndTheFirstFailure) {
    CameraParameters set("Cam");
    set.AddParam(Int("Skipped", 99, 0, 4));
    set.GetParam("Skipped").enabled = false;
    set.AddParam(Int("BufferSize", 0, 1, 3000));
    set.AddParam(Int("Stepped", 8, 2, 100, 4));
    std::string message = "untouched";
    EXPECT_FALSE(set.Validate(message));
    EXPECT_EQ("Camera: BufferSize: out of range [1..3000]", message);

    SetInt(set, "BufferSize", 3000);
    EXPECT_FALSE(set.Validate(message));
    EXPECT_EQ("Camera: Stepped: must be multiple of 4", message);

    SetInt(set, "Stepped", 10);
    message = "untouched";
    EXPECT_TRUE(set.Validate(message));
    EXPECT_EQ("untouched", message);
}

TEST(Validate, StepCheckDoesNotOverflowAndEnumsHaveNoRange) {
    CameraParameters set("Cam");
    set.AddParam(Int("Wide", INT_MAX, -2, INT_MAX, 3));
    std::string message;
    EXPECT_TRUE(set.Validate(message)) << message;
    SetInt(set, "Wide", INT_MAX - 1);
    EXPECT_FALSE(set.Validate(message));

    CameraParameters enums("Cam");
    enums.AddParam(Switch("Mode"));
    enums.GetParam("Mode").FromString("1", false);
    EXPECT_FALSE(enums.Validate(message));
    EXPECT_EQ("Image: Mode: out of range ", message);
}

TEST(Lookup, CaseInsensitiveNamesAndTypedValues) {
    CameraParameters set("Cam");
    set.AddParam(std::make_unique<Param<int>>("General", "LogLevel", 1, 0, 4, 0));
    set.AddParam(std::make_unique<Param<double>>("Image", "LaserPlaneAngle", 12.5));
    set.AddParam(Switch("Mode"));
    EXPECT_EQ("LogLevel", set.GetParam("loglevel").name);
    EXPECT_EQ(1, set.GetParameter<int>("LOGLEVEL"));
    EXPECT_DOUBLE_EQ(12.5, set.GetParameter<double>("laserplaneangle"));
    EXPECT_EQ("On", set.GetParameter<std::string>("mode"));
    set.AddParam(Int("LOGLEVEL", 3));
    EXPECT_EQ(3, set.GetParameter<int>("LogLevel"));
    EXPECT_EQ(4u, set.Params().size());
}

TEST(Lookup, FailuresCarryTheirTexts) {
    CameraParameters set("Cam");
    set.AddParam(Int("LogLevel", 1));
    auto text = [](auto call) {
        try {
            call();
        } catch (const std::exception& error) {
            return std::string(typeid(error).name()) + ": " + error.what();
        }
        return std::string("no exception");
    };
    EXPECT_EQ(std::string(typeid(std::runtime_error).name()) +
                  ": CameraParameters::GetParam: Parameter 'Missing' does not exist",
              text([&] { set.GetParam("Missing"); }));
    EXPECT_EQ(std::string(typeid(std::out_of_range).name()) +
                  ": Camera::GetParameter: Parameter 'Missing' does not exist",
              text([&] { set.GetParameter<int>("Missing"); }));
    EXPECT_EQ(std::string(typeid(std::runtime_error).name()) +
                  ": Camera::SetParameter: Paramter 'LogLevel' accessed by wrong type",
              text([&] { set.GetParameter<std::string>("LogLevel"); }));
}

TEST(Constraints, AttachMovesDependentsBehindTheControl) {
    CameraParameters set("Cam");
    for (const char* name : {"A", "Dep2", "B", "Control", "Dep1", "C"}) {
        set.AddParam(Int(name, 0));
    }
    set.AddConstraint(OffWhen("Control", {"Dep1", "Dep2"}));
    // The control is matched exactly: no anchor, no move.
    set.AddConstraint(OffWhen("control", {"A"}));
    std::vector<std::string> names;
    for (const Param_& param : set.Params()) {
        names.push_back(param.name);
    }
    EXPECT_EQ((std::vector<std::string>{"A", "B", "Control", "Dep2", "Dep1", "C"}), names);
}

TEST(Constraints, ADisabledControlLeavesItsDependentsAlone) {
    CameraParameters set("Cam");
    set.AddParam(Switch("E"));
    set.AddParam(Switch("F"));
    set.AddParam(Int("G", 0));
    set.AddConstraint(OffWhen("E", {"F"}));
    set.AddConstraint(OffWhen("F", {"G"}));
    std::string message;
    set.GetParam("F").FromString("Off", false);
    set.Validate(message);
    EXPECT_FALSE(set.GetParam("G").enabled);

    set.GetParam("F").FromString("On", false);
    set.GetParam("E").FromString("Off", false);
    set.Validate(message);
    EXPECT_FALSE(set.GetParam("F").enabled);
    EXPECT_FALSE(set.GetParam("G").enabled);

    set.GetParam("E").FromString("On", false);
    set.Validate(message);
    EXPECT_TRUE(set.GetParam("G").enabled);

    set.AddConstraint(OffWhen("E", {"Missing"}));
    EXPECT_THROW(set.Validate(message), std::runtime_error);
}

class ConstraintLog : public ContextFixture {};

TEST_F(ConstraintLog, AControlThatIsNoEnumerationIsLoggedAndChangesNothing) {
    CameraParameters set("Cam");
    set.AddParam(Int("Plain", 0));
    set.AddParam(Int("Dependent", 0));
    set.AddConstraint(OffWhen("Plain", {"Dependent"}));
    std::string message;
    EXPECT_TRUE(set.Validate(message));
    EXPECT_TRUE(set.GetParam("Dependent").enabled);
    EXPECT_TRUE(
        capture_.Contains("ConstraintEnumOff::Apply: Parameter 'Plain' is not enumeration\n"));
}

TEST(Copy, ACopySharesNothingWithItsSource) {
    CameraParameters source("Cam");
    source.AddParam(Switch("E"));
    source.AddParam(Int("G", 5, 0, 10));
    source.AddConstraint(OffWhen("E", {"G"}));

    CameraParameters copy(source);
    copy.GetParam("E").FromString("Off", false);
    SetInt(copy, "G", 99);
    std::string message;
    EXPECT_TRUE(copy.Validate(message));
    EXPECT_FALSE(copy.GetParam("G").enabled);
    EXPECT_EQ("On", source.GetParameter<std::string>("E"));
    EXPECT_EQ(5, source.GetParameter<int>("G"));
    EXPECT_TRUE(source.GetParam("G").enabled);

    CameraParameters assigned("Other");
    assigned.AddParam(Int("Stale", 0));
    assigned = copy;
    SetInt(copy, "G", 1);
    EXPECT_EQ("Cam", assigned.Name());
    EXPECT_FALSE(assigned.HasParam("Stale"));
    EXPECT_EQ(99, assigned.GetParameter<int>("G"));
}
