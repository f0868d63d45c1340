#include "document/input_devices.h"

#include "document/settings.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// All four backends, whichever of them this build has.
const TAVFileDeviceList kAllBackends{{0, "Video for Windows file input and output"},
                                     {1, "DirectShow file input"},
                                     {2, "FFmpeg file input and output"},
                                     {3, "BMP file input and output"}};

// What the input devices dialog does on OK: checked items take the places
// 0, 1, ... from the top, unchecked ones are disabled.
void ApplyDialog(const std::vector<std::pair<int32_t, bool>>& itemsTopToBottom) {
    int32_t count = 0;
    for (const auto& [id, checked] : itemsTopToBottom)
        SetBackendPosition(id, checked ? count++ : -1);
}

} // namespace

class InputDevicesTest : public ::testing::Test {
protected:
    void SetUp() override { UninitialiseBackendOrder(); }
    void TearDown() override { UninitialiseBackendOrder(); }

    std::vector<int32_t> WrittenValues() const {
        std::vector<int32_t> values;
        for (int32_t id = 0; id < 4; ++id)
            values.push_back(m_settings.ReadInteger(SectionInputDevices, std::to_string(id), -99));
        return values;
    }

    void WriteFile(const std::string& text) {
        std::ofstream(m_settings.FileName(), std::ios::binary) << text;
    }

    TTempDir m_dir;
    TIniFile m_settings{m_dir.File("Scenemark.ini")};
};

TEST_F(InputDevicesTest, DefaultOrderWritesEachIdAtItsOwnPlace) {
    WriteInputDevices(m_settings, kAllBackends);
    EXPECT_EQ(WrittenValues(), (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST_F(InputDevicesTest, FFmpegOnTopAndDirectShowDisabledWritesOneMinusOneZeroTwo) {
    ApplyDialog({{2, true}, {0, true}, {3, true}, {1, false}});
    WriteInputDevices(m_settings, kAllBackends);
    EXPECT_EQ(WrittenValues(), (std::vector<int32_t>{1, -1, 0, 2}));
    EXPECT_EQ(m_settings.ReadSection(SectionInputDevices), (std::vector<std::string>{"0", "1", "2", "3"}));

    // Read back at the next start, the order is the same.
    UninitialiseBackendOrder();
    ReadBackendOrder(m_settings, kAllBackends);
    EXPECT_EQ(GetBackendPosition(0), 1);
    EXPECT_EQ(GetBackendPosition(1), -1);
    EXPECT_EQ(GetBackendPosition(2), 0);
    EXPECT_EQ(GetBackendPosition(3), 2);
}

TEST_F(InputDevicesTest, EverythingUncheckedWritesMinusOneForAll) {
    ApplyDialog({{0, false}, {1, false}, {2, false}, {3, false}});
    WriteInputDevices(m_settings, kAllBackends);
    EXPECT_EQ(WrittenValues(), (std::vector<int32_t>{-1, -1, -1, -1}));
}

TEST_F(InputDevicesTest, ValueOfTenOrMoreOrUnreadableRemovesTheBackend) {
    WriteFile("[inputdevices]\r\n 3 = 10 \r\n1=disabled\r\n");
    ReadBackendOrder(m_settings, kAllBackends);
    EXPECT_EQ(GetBackendPosition(3), -1);
    EXPECT_EQ(GetBackendPosition(1), -1);
    EXPECT_EQ(GetBackendPosition(0), 0);
    EXPECT_EQ(GetBackendPosition(2), 2);
}

TEST_F(InputDevicesTest, BackendsWithoutAKeyKeepTheirPlace) {
    WriteFile("[InputDevices]\r\n2=-1\r\n7=0\r\n[Other]\r\n0=5\r\n");
    ReadBackendOrder(m_settings, kAllBackends);
    EXPECT_EQ(GetBackendPosition(0), 0);
    EXPECT_EQ(GetBackendPosition(1), 1);
    EXPECT_EQ(GetBackendPosition(2), -1);
    EXPECT_EQ(GetBackendPosition(3), 3);
}

TEST_F(InputDevicesTest, WritesExactlyTheBuiltBackendsAndKeepsOtherSections) {
    WriteFile("[HotKeys]\r\nActionPlay=F5\r\n[InputDevices]\r\n9=4\r\n");
    WriteInputDevices(m_settings);

    std::vector<std::string> expectedKeys{"9"};
    for (const TAVFileDevice& backend : ListBackends())
        expectedKeys.push_back(std::to_string(backend.Id));
    EXPECT_EQ(m_settings.ReadSection(SectionInputDevices), expectedKeys);
    EXPECT_EQ(m_settings.ReadInteger(SectionInputDevices, "3", -99), 3);
    EXPECT_EQ(m_settings.ReadString(SectionHotKeys, "ActionPlay", ""), "F5");
}
