// The program's version resource, read back from the running executable the way the About
// dialog reads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zt40::test {

namespace {

std::vector<char> ownVersionInfo() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        ADD_FAILURE() << "no path of the running program";
        return {};
    }
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &unused);
    if (size == 0) {
        ADD_FAILURE() << "no version resource, error " << GetLastError();
        return {};
    }
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path, 0, size, info.data())) {
        ADD_FAILURE() << "version resource unreadable, error " << GetLastError();
        return {};
    }
    return info;
}

std::string stringValue(std::vector<char>& info, const std::string& name) {
    const std::string key = "\\StringFileInfo\\040704E4\\" + name;
    char* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) ||
        text == nullptr) {
        return "<missing>";
    }
    return std::string(text); // up to the terminating zero
}

TEST(VersionResource, FixedInfoCarriesTheProjectVersionAsProductAndFileVersion) {
    auto info = ownVersionInfo();
    ASSERT_FALSE(info.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_NE(fixed, nullptr);
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);

    const DWORD expectedMS = (DWORD{ZT40_VERSION_MAJOR} << 16) | DWORD{ZT40_VERSION_MINOR};
    const DWORD expectedLS = (DWORD{ZT40_VERSION_PATCH} << 16) | DWORD{ZT40_VERSION_TWEAK};
    EXPECT_EQ(fixed->dwProductVersionMS, expectedMS);
    EXPECT_EQ(fixed->dwProductVersionLS, expectedLS);
    EXPECT_EQ(fixed->dwFileVersionMS, expectedMS);
    EXPECT_EQ(fixed->dwFileVersionLS, expectedLS);
    EXPECT_EQ(fixed->dwFileType, DWORD{VFT_APP});
}

TEST(VersionResource, StringsNameTheProductInWindows1252German) {
    auto info = ownVersionInfo();
    ASSERT_FALSE(info.empty());

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, sizeof(Translation));
    EXPECT_EQ(translation->language, 0x0407);
    EXPECT_EQ(translation->codePage, 1252);

    EXPECT_EQ(stringValue(info, "ProductName"), "DORVANEX II ZT 40");
    EXPECT_EQ(stringValue(info, "CompanyName"), "TARVELON GMBH");
    EXPECT_EQ(stringValue(info, "ProductVersion"), ZT40_VERSION_TEXT);
    EXPECT_EQ(stringValue(info, "FileVersion"), ZT40_VERSION_TEXT);
    EXPECT_EQ(stringValue(info, "OriginalFilename"), "zt40.exe");
}

} // namespace

} // namespace zt40::test

