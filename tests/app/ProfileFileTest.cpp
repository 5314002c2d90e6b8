// The settings file reader and writer.
#include "ProfileFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zt40::test {

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(ProfileText, ReadsSectionsAndKeysWithoutRegardToCase) {
    const std::string content = "; settings\r\n[Other]\r\nLanguage=7\r\n"
                                "[ config ]\r\n  LANGUAGE =  2  \r\n";
    EXPECT_EQ(profileValue(content, "Config", "Language"), "2");
    EXPECT_EQ(profileValue(content, "other", "language"), "7");
    EXPECT_EQ(profileValue(content, "Config", "Missing"), std::nullopt);
    EXPECT_EQ(profileValue(content, "Missing", "Language"), std::nullopt);
    EXPECT_EQ(profileValue("[Config]\nLanguage=\"1\"\n", "Config", "Language"), "1");
    // Tabs count as blanks around names and values, as Windows' profile functions treat them.
    EXPECT_EQ(profileValue("[\tConfig\t]\r\n\tLanguage\t=\t1\t\r\n", "Config", "Language"), "1");
    EXPECT_EQ(profileValue("", "Config", "Language"), std::nullopt);
}

TEST(ProfileText, IntegersAreDecimalAndAnythingElseIsNone) {
    EXPECT_EQ(profileInteger("1"), 1);
    EXPECT_EQ(profileInteger(" -3 "), -3);
    EXPECT_EQ(profileInteger("+2"), 2);
    EXPECT_EQ(profileInteger(""), std::nullopt);
    EXPECT_EQ(profileInteger("1x"), std::nullopt);
    EXPECT_EQ(profileInteger("German"), std::nullopt);
    EXPECT_EQ(profileInteger("99999999999"), std::nullopt);
}

TEST(ProfileText, WritingIntoNothingGivesTheTwoLines) {
    EXPECT_EQ(profileWithValue("", "Config", "Language", "1"), "[Config]\r\nLanguage=1\r\n");
}

TEST(ProfileText, WritingKeepsEverythingElseByteForByte) {
    // An existing key line is replaced where it stands, in whatever letter case it had.
    EXPECT_EQ(profileWithValue("# mine\n[CONFIG]\nlanguage=0\nColour=red\n[X]\nA=1", "Config",
                               "Language", "2"),
              "# mine\n[CONFIG]\nLanguage=2\nColour=red\n[X]\nA=1");
    // A new key goes after the last line of its section, before a blank line.
    EXPECT_EQ(
        profileWithValue("[Config]\r\nColour=red\r\n\r\n[X]\r\nA=1\r\n", "Config", "Language", "1"),
        "[Config]\r\nColour=red\r\nLanguage=1\r\n\r\n[X]\r\nA=1\r\n");
    // A section that ends the file without a line break.
    EXPECT_EQ(profileWithValue("[Config]", "Config", "Language", "1"),
              "[Config]\r\nLanguage=1\r\n");
    // A new section goes at the end.
    EXPECT_EQ(profileWithValue("[X]\r\nA=1", "Config", "Language", "0"),
              "[X]\r\nA=1\r\n[Config]\r\nLanguage=0\r\n");
}

TEST(ProfileText, AFileEndingInALoneCarriageReturnReadsBackWhatWasWritten) {
    // Found by fuzzing: the CR alone does not end a line, so the new key line used to run
    // into the last line of the file and could not be read back.
    struct Case {
        const char* before;
        const char* after;
    } cases[] = {
        {"[Config]\r", "[Config]\r\nLanguage=1\r\n"},
        {"[X]\r\nA=1\r", "[X]\r\nA=1\r\n[Config]\r\nLanguage=1\r\n"},
        {"[config]\nA=1\r", "[config]\nA=1\r\nLanguage=1\r\n"},
    };
    for (const auto& c : cases) {
        const std::string written = profileWithValue(c.before, "Config", "Language", "1");
        EXPECT_EQ(written, c.after) << c.before;
        EXPECT_EQ(profileValue(written, "Config", "Language"), "1") << c.before;
    }
}

class ProfileFileOnDisk : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path() const { return dir.filePath("zt40.ini").toStdString(); }
};

TEST_F(ProfileFileOnDisk, MissingFileGivesTheFallbackAndWritingCreatesIt) {
    const ProfileFile file(path());
    EXPECT_EQ(file.ReadInteger("Config", "Language", 0), 0);
    ASSERT_TRUE(file.WriteInteger("Config", "Language", 1).ok());
    EXPECT_EQ(readFile(path()), "[Config]\r\nLanguage=1\r\n");
    EXPECT_EQ(file.ReadInteger("Config", "Language", 0), 1);
    ASSERT_TRUE(file.WriteInteger("Config", "Language", 2).ok());
    EXPECT_EQ(readFile(path()), "[Config]\r\nLanguage=2\r\n");
}

TEST_F(ProfileFileOnDisk, GarbageValueGivesTheFallback) {
    writeFile(path(), "[Config]\r\nLanguage=Deutsch\r\n");
    EXPECT_EQ(ProfileFile(path()).ReadInteger("Config", "Language", 0), 0);
}

TEST_F(ProfileFileOnDisk, AFailedWriteNamesTheFile) {
    const std::string missingFolder = dir.filePath("gone/zt40.ini").toStdString();
    const Outcome written = ProfileFile(missingFolder).WriteInteger("Config", "Language", 2);
    EXPECT_FALSE(written.ok());
    EXPECT_TRUE(written.reason().contains("zt40.ini")) << written.reason().toStdString();
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
}

TEST_F(ProfileFileOnDisk, AFileThatCannotBeReplacedStaysAsItWas) {
    // A folder of that name cannot be replaced by the new file.
    std::filesystem::create_directory(path());
    writeFile(path() + "/inside", "kept");
    EXPECT_FALSE(ProfileFile(path()).WriteInteger("Config", "Language", 2).ok());
    EXPECT_EQ(readFile(path() + "/inside"), "kept");
}

} // namespace zt40::test
