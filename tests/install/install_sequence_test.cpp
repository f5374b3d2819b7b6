// The install sequence in this very process, driven through a recording front end: this test
// program carries the sample application as its payload resource, as the installer does.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "install/installer.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/product_state.h"
#include "tests/support/test_support.h"

namespace swiftsetup {
namespace {

using testsupport::besideModule;
using testsupport::productPaths;

uint32_t ownPayloadSize() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC payload = FindResourceW(self, MAKEINTRESOURCEW(256), MAKEINTRESOURCEW(256));
    return payload != nullptr ? SizeofResource(self, payload) : 0;
}

uint64_t ownFileSize() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(besideModule(L"install.sequence.exe").c_str(), GetFileExInfoStandard, &data);
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class InstallSequence : public ::testing::Test {
protected:
    void SetUp() override { testsupport::resetProductState(); }
    void TearDown() override { testsupport::resetProductState(); }
    RecordingFrontEnd recorder;
};

TEST_F(InstallSequence, ReportsItsPhasesInOrderOnOneProgressRange) {
    Installer installer;
    ASSERT_TRUE(installer.install(recorder, recorder));

    EXPECT_EQ(recorder.statuses,
              (std::vector<std::string>{"Installing files...", "Installing uninstaller...",
                                        "Uninstalling previous versions...", "Updating registry...",
                                        "Creating short cuts...", "Launching Lexmora..."}));
    // Nothing else talks to the user, and no earlier version meant nothing to run before the start
    // of the application.
    for (const std::string& event : recorder.events) {
        EXPECT_TRUE(event == "progress" || event.rfind("status:", 0) == 0 || event.rfind("log:", 0) == 0)
            << event;
    }
    EXPECT_EQ(recorder.logged,
              std::vector<std::string>{"\"" + testsupport::narrow(productPaths().program) + "\" --safe-mode"});

    // One total for the whole install: the payload and then this program's copy. Positions never
    // go back, start at 0 and reach at least the end of the payload (this system's copy routine
    // reports nothing of its own; copyProgress is tested directly below).
    const uint32_t payload = ownPayloadSize();
    const uint32_t total = payload + static_cast<uint32_t>(ownFileSize());
    ASSERT_GE(recorder.progress.size(), 2u);
    EXPECT_EQ(recorder.progress.front().first, 0u);
    uint32_t previous = 0;
    for (const auto& [position, reportedTotal] : recorder.progress) {
        EXPECT_EQ(reportedTotal, total);
        EXPECT_GE(position, previous);
        EXPECT_LE(position, total);
        previous = position;
    }
    EXPECT_GE(previous, payload);
    EXPECT_EQ(installer.progressBase, payload);

    // Progress belongs to the unpacking and the copy: it starts right after "Installing files..."
    // and ends before "Updating registry...".
    const auto& events = recorder.events;
    const size_t first = std::find(events.begin(), events.end(), "progress") - events.begin();
    const size_t last = events.rend() - std::find(events.rbegin(), events.rend(), "progress") - 1;
    const size_t registry =
        std::find(events.begin(), events.end(), "status:Updating registry...") - events.begin();
    ASSERT_GT(first, 0u);
    size_t before = first - 1;
    while (before > 0 && events[before].rfind("log:", 0) == 0) --before;  // the log's lines between
    EXPECT_EQ(events[before], "status:Installing files...");
    EXPECT_LT(last, registry);
}

TEST_F(InstallSequence, RemovesAnEarlierWindowsInstallerProductOnceTheNewVersionIsUnpacked) {
    // A real per-user package of the product's first upgrade family, as version 2 was shipped.
    ASSERT_EQ(testsupport::runAndWait(L"msiexec.exe /i \"" + besideModule(L"earlier-lexmora.msi") + L"\" /qn"), 0u);
    ASSERT_TRUE(testsupport::keyExists(L"Software\\LexmoraTests\\Msi\\LexmoraEarlier"));

    Installer installer;
    ASSERT_TRUE(installer.install(recorder, recorder));

    EXPECT_FALSE(testsupport::keyExists(L"Software\\LexmoraTests\\Msi\\LexmoraEarlier")) << "removed";
    // The order of events: the new version is unpacked first, and the removal follows its status.
    const auto& events = recorder.events;
    const auto removal = std::find(events.begin(), events.end(), "status:Uninstalling previous versions...");
    const auto command = std::find_if(removal, events.end(), [](const std::string& e) { return e.rfind("log:0:", 0) == 0; });
    ASSERT_NE(command, events.end());
    EXPECT_NE(command->find("msiexec.exe\" /quiet /qn /x {7e57c0de-0002-4a00-8000-0000000000a2}"), std::string::npos)
        << *command;
    EXPECT_EQ(*std::find_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("status:", 0) == 0; }),
              "status:Installing files...");
    EXPECT_EQ(std::count(removal, events.end(), "progress"), 0) << "unpacked before";
    testsupport::deleteKeyTree(L"Software\\LexmoraTests\\Msi");
}

TEST(CopyProgress, ContinuesTheInstallsRangeFromTheProgressBase) {
    RecordingFrontEnd recorder;
    Installer installer;
    installer.frontEnd = &recorder;
    installer.progressBase = 1000;
    installer.copyProgress(0, 5000);
    installer.copyProgress(2500, 5000);
    installer.copyProgress(5000, 5000);
    // At 4 GiB and beyond only the low 32 bits of the counts are used.
    installer.copyProgress(0x100000010ull, 0x100000100ull);
    installer.copyProgress(0xFFFFFFFFull, 0x100000000ull);

    using Report = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(recorder.progress,
              (std::vector<Report>{{1000, 6000}, {3500, 6000}, {6000, 6000}, {1000 + 0x10, 1000 + 0x100},
                                   // wraps, as the whole 32-bit scale does
                                   {1000u + 0xFFFFFFFFu, 1000}}));
}

}  // namespace
}  // namespace swiftsetup
