#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <typeinfo>
#include <vector>

#include "config/ParamEnum.h"

TEST(ParamText, IntegersFollowTheAtoiRuleAndSaturate) {
    Param<int> param("Camera", "N", 0, 0, 0, 0);
    const std::pair<const char*, int> cases[] = {{" 42abc", 42},
                                                 {"-7", -7},
                                                 {"abc", 0},
                                                 {"99999999999999", INT_MAX},
                                                 {"-99999999999", INT_MIN}};
    for (const auto& [text, expected] : cases) {
        param.FromString(text, false);
        EXPECT_EQ(expected, param.value) << text;
    }
    Param<unsigned int> count("Camera", "U", 5u, 0u, 10u, 0u);
    count.FromString("-1", false);
    EXPECT_EQ(0u, count.value);
}

TEST(ParamText, ClampingForcesTheBoundsEvenWithoutARange) {
    Param<int> noRange("General", "Zero", 0, 0, 0, 0);
    noRange.FromString("7", false);
    EXPECT_TRUE(noRange.IsValid());
    noRange.FromString("7", true);
    EXPECT_EQ(0, noRange.value);

    Param<int> level("General", "LogLevel", 1, 0, 4, 0);
    level.FromString("9", true);
    EXPECT_EQ(4, level.value);
    level.FromString("-3", true);
    EXPECT_EQ(0, level.value);
}

TEST(ParamText, RealsBoolsAndTexts) {
    Param<double> real("Image", "R", 0.0, -90.0, 90.0, 0.0);
    real.value = 1234567.0;
    EXPECT_EQ("1.23457e+06", real.ToString());
    real.FromString("", false);
    EXPECT_DOUBLE_EQ(0.0, real.value);

    Param<bool> flag("General", "LogIntoFile");
    flag.FromString("1", false);
    EXPECT_EQ("1", flag.ToString());
    flag.FromString("true", false);
    EXPECT_EQ("0", flag.ToString());

    // Bytes above 0x7f sort after ASCII, as an unsigned comparison does.
    Param<std::string> text("Camera", "T", "c", "b", "d", "");
    text.FromString("\xff", false);
    EXPECT_FALSE(text.IsValid());
    text.FromString("\xff", true);
    EXPECT_EQ("d", text.value);
}

// Reals are decimal numbers, as the runtime's atof reads them. Read with the
// C library's full grammar, "nan", "inf" and hexadecimal texts got in, and
// NaN passed every test of a parameter without a range.
TEST(ParamText, RealsAreDecimalOnlyAndNeverNonFinite) {
    Param<double> real("Image", "MinHeight", 1.0);
    const std::pair<std::string, double> cases[] = {{" 12.5mm", 12.5},
                                                    {"-3e2", -300.0},
                                                    {"+.5", 0.5},
                                                    {"5.", 5.0},
                                                    {"1e", 1.0},
                                                    {"2E+1x", 20.0},
                                                    {"nan", 0.0},
                                                    {"-inf", 0.0},
                                                    {"0x10", 0.0},
                                                    {"0x1p4", 0.0},
                                                    {"1,5", 1.0},
                                                    {".", 0.0},
                                                    {"e5", 0.0},
                                                    {"-1e-400", 0.0},
                                                    {"0." + std::string(400, '0') + "1", 0.0},
                                                    {"1e-99999999999999999999", 0.0}};
    for (const auto& [text, expected] : cases) {
        real.FromString(text, false);
        EXPECT_EQ(expected, real.value) << text;
        EXPECT_TRUE(real.IsValid()) << text;
    }

    real.value = 7.0;
    for (const std::string& overflow : std::vector<std::string>{
             "1e999", "-1e999", "1" + std::string(400, '0'), "0.001e99999999999999999999"}) {
        real.FromString(overflow, false);
        EXPECT_EQ(7.0, real.value) << overflow << " keeps the value it had";
    }

    Param<double> ranged("Image", "LaserPlaneAngle", 0.0, -90.0, 90.0, 0.0);
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        real.value = bad;
        ranged.value = bad;
        EXPECT_FALSE(real.IsValid()) << bad;
        EXPECT_FALSE(ranged.IsValid()) << bad;
    }
}

TEST(ParamEnumTest, LabelsValuesAndTextForms) {
    ParamEnum format("Image", "ImageFormat", "3D", {{"Grayscale", 0}, {"3D (XYZ)", 1}, {"", 2}});
    EXPECT_EQ("Grayscale", format.value);
    EXPECT_EQ(2u, format.labels.size());
    EXPECT_EQ(1, format.ValueOf("3D (XYZ)"));
    EXPECT_EQ(0, format.ValueOf("3d (xyz)"));
    EXPECT_THROW(format.LabelAt(2), std::out_of_range);

    format.FromString("3d (xyz)", false);
    EXPECT_FALSE(format.IsValid());

    format.storeByValue = true;
    format.FromString("1", false);
    EXPECT_EQ("3D (XYZ)", format.value);
    EXPECT_EQ("1", format.ToString());
    format.FromString("7", false);
    EXPECT_EQ("3D (XYZ)", format.value);
    format.value = "Unknown";
    EXPECT_EQ("0", format.ToString());
}

TEST(ParamCopy, CloneKeepsTheTypeAndAssignRefusesOthers) {
    ParamEnum source("Image", "Filter", "", {{"Disabled", 0}, {"Enabled", 1}});
    source.storeByValue = true;
    source.value = "Enabled";
    std::unique_ptr<Param_> clone = source.Clone();
    ASSERT_NE(nullptr, dynamic_cast<ParamEnum*>(clone.get()));
    EXPECT_EQ("1", clone->ToString());

    Param<int> target("Camera", "A", 1, 0, 10, 0);
    Param<int> other("Image", "B", 7, 5, 9, 2);
    other.general = true;
    target.Assign(other);
    EXPECT_EQ("B", target.name);
    EXPECT_TRUE(target.general);
    EXPECT_EQ(5, target.min);
    EXPECT_THROW(target.Assign(Param<double>("Camera", "C", 1.5)), std::bad_cast);
    EXPECT_EQ("B", target.name);
}

TEST(ParamDefaults, AChoiceBuiltLabelByLabelDefaultsToItsFirstLabel) {
    ParamEnum choice("Image", "ImageFormat", "", {{"Grayscale", 0}, {"3D (XYZ)", 1}});
    EXPECT_TRUE(choice.IsDefault());
    choice.value = "3D (XYZ)";
    EXPECT_FALSE(choice.IsDefault());
    choice.ResetToDefault();
    EXPECT_EQ("Grayscale", choice.value);
    Param<double> height("Image", "MinHeight", 1.0, 0.0, 10.0, 0.0);
    height.FromString("2.5", false);
    EXPECT_FALSE(height.IsDefault());
    height.ResetToDefault();
    EXPECT_EQ(1.0, height.value);
}
