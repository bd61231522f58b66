#include <gtest/gtest.h>

#include <climits>
#include <typeinfo>

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
