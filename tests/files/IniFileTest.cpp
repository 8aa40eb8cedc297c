#include "files/IniFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace velmora;
namespace fs = std::filesystem;

TEST(IniFormat, FloatsUseGeneralFormatWithFifteenDigits)
{
    EXPECT_EQ(formatFloatGeneral(static_cast<float>(0.2)), "0.200000002980232");
    EXPECT_EQ(formatFloatGeneral(1e-8), "1E-8");
    EXPECT_EQ(formatFloatGeneral(0.00001), "0.00001");
    EXPECT_EQ(formatFloatGeneral(0.000001), "1E-6");
    EXPECT_EQ(formatFloatGeneral(0), "0");
    EXPECT_EQ(formatFloatGeneral(100), "100");
    EXPECT_EQ(formatFloatGeneral(-0.4f), "-0.400000005960464");
    EXPECT_EQ(formatFloatGeneral(123456789012345.0), "123456789012345");
    EXPECT_EQ(formatFloatGeneral(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(formatFloatGeneral(-1.5e20), "-1.5E20");
    EXPECT_EQ(formatFloatGeneral(2.5), "2.5");
    // Written values read back to the same single-precision value.
    for (float f : {0.2f, -0.4f, 1e-8f, 3.14159274f, 1e30f, 0.1f}) {
        double d = 0;
        ASSERT_TRUE(parseFloatText(formatFloatGeneral(f), d));
        EXPECT_EQ(static_cast<float>(d), f);
    }
}

TEST(IniFormat, NumbersParseWithEitherSeparatorAndRejectGarbage)
{
    double d = 0;
    EXPECT_TRUE(parseFloatText("0,5", d));
    EXPECT_EQ(d, 0.5);
    EXPECT_TRUE(parseFloatText(" -1.25E3 ", d));
    EXPECT_EQ(d, -1250);
    EXPECT_FALSE(parseFloatText("", d));
    EXPECT_FALSE(parseFloatText("1.2.3", d));
    EXPECT_FALSE(parseFloatText("abc", d));
    std::int32_t i = 0;
    EXPECT_TRUE(parseIntegerText("0x1F", i));
    EXPECT_EQ(i, 31);
    EXPECT_TRUE(parseIntegerText("0XfF", i));
    EXPECT_EQ(i, 255);
    EXPECT_TRUE(parseIntegerText("-42", i));
    EXPECT_EQ(i, -42);
    EXPECT_TRUE(parseIntegerText("-2147483648", i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_FALSE(parseIntegerText("2147483648", i));
    EXPECT_FALSE(parseIntegerText("12a", i));
    EXPECT_FALSE(parseIntegerText("1.5", i));
    EXPECT_FALSE(parseIntegerText("0x", i));
    // Hexadecimal is the 32-bit pattern; negating the smallest one wraps to
    // itself instead of overflowing.
    EXPECT_TRUE(parseIntegerText("-0x80000000", i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_TRUE(parseIntegerText("-$80000000", i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_TRUE(parseIntegerText("-0xFFFFFFFF", i));
    EXPECT_EQ(i, 1);
    EXPECT_TRUE(parseIntegerText("$FFFFFFFF", i));
    EXPECT_EQ(i, -1);
}

TEST(IniFileService, ManySectionsAndKeysKeepFirstValuesOrderAndCaseFreeLookups)
{
    // Large files are read through indexes; the results must be those of a
    // plain first-match search in file order.
    std::string text;
    for (int s = 0; s < 300; ++s) {
        text += "[Sec" + std::to_string(s) + "]\n";
        for (int k = 0; k < 300; ++k) text += "Key" + std::to_string(k) + "=" + std::to_string(s * 1000 + k) + "\n";
        text += "KEY7=duplicate\n";
    }
    text += "[sec5]\nKey0=again\nExtra=1\n";
    IniFile ini;
    ini.parse(text);
    ASSERT_EQ(ini.sections().size(), 300u);
    EXPECT_EQ(ini.readInteger("SEC299", "key299", 0), 299299);
    EXPECT_EQ(ini.readString("Sec3", "Key7", ""), "3007");
    EXPECT_EQ(ini.readString("Sec5", "Key0", ""), "5000");
    EXPECT_EQ(ini.readString("Sec5", "extra", ""), "1");
    EXPECT_EQ(ini.keys("Sec5").size(), 301u);
    EXPECT_EQ(ini.keys("Sec5").back(), "Extra");
    ini.deleteKey("Sec5", "KEY3");
    EXPECT_FALSE(ini.valueExists("Sec5", "Key3"));
    EXPECT_EQ(ini.readString("Sec5", "Key4", ""), "5004");
    ini.eraseSection("sec2");
    EXPECT_FALSE(ini.sectionExists("Sec2"));
    EXPECT_EQ(ini.readString("Sec3", "Key1", ""), "3001");
    ini.writeString("sec3", "key1", "changed");
    EXPECT_EQ(ini.readString("Sec3", "Key1", ""), "changed");
    EXPECT_EQ(ini.keys("Sec3")[1], "Key1");
}

TEST(IniFileService, KeepsOrderAppendsLaterKeysAndReadsDefaults)
{
    IniFile ini;
    ini.writeInteger("Box", "Type", 1);
    ini.writeBool("Reflection", "Visible", true);
    ini.writeBool("DropShadow", "Visible", false);
    ini.writeInteger("Reflection", "Opacity", 50); // appended to the existing section
    ini.writeFloat("Camera", "X", 0.2f);
    EXPECT_EQ(ini.text(),
              "[Box]\r\nType=1\r\n\r\n[Reflection]\r\nVisible=1\r\nOpacity=50\r\n\r\n"
              "[DropShadow]\r\nVisible=0\r\n\r\n[Camera]\r\nX=0.200000002980232\r\n");
    EXPECT_EQ(ini.readInteger("reflection", "OPACITY", 0), 50);
    EXPECT_TRUE(ini.readBool("Reflection", "Visible", false));
    EXPECT_FALSE(ini.readBool("DropShadow", "Visible", true));
    EXPECT_TRUE(ini.readBool("Missing", "Visible", true));
    EXPECT_EQ(static_cast<float>(ini.readFloat("Camera", "X", 0)), 0.2f);
    ini.writeString("Camera", "Y", "not a number");
    EXPECT_EQ(ini.readFloat("Camera", "Y", 7.5), 7.5);
    EXPECT_EQ(ini.readInteger("Camera", "Y", 9), 9);
    ini.writeString("Camera", "Z", "bad\nline");
    IniFile copy;
    copy.parse(ini.text());
    EXPECT_EQ(copy.text(), ini.text());
    EXPECT_EQ(copy.keys("Camera").size(), 3u);
}

TEST(IniFileService, ParsesForeignFilesAndReportsWriteFailures)
{
    IniFile ini;
    ini.parse("; comment\nloose=1\n[Scene]\nColorRed = 12\nColorRed=99\n[Camera]\nX=1,5\n  [ Other ]  \nk=v=w\n");
    EXPECT_EQ(ini.readInteger("Scene", "ColorRed", 255), 12);
    EXPECT_EQ(ini.readFloat("Camera", "X", 0), 1.5);
    EXPECT_EQ(ini.readString("Other", "k", ""), "v=w");
    EXPECT_FALSE(ini.valueExists("", "loose"));

    const test::ScratchDir scratch("velmora-ini");
    const fs::path& dir = scratch.path;
    IniFile out(dir / "Scene.ini");
    EXPECT_FALSE(out.sectionExists("Box")); // missing file reads as empty
    out.writeInteger("Box", "Type", 1);
    out.save();
    EXPECT_EQ(IniFile(dir / "Scene.ini").readInteger("Box", "Type", 0), 1);
    try {
        out.saveAs(dir / "no" / "such" / "Scene.ini");
        FAIL();
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / "no" / "such" / "Scene.ini").string());
    }
}
