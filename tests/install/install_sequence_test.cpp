// The install sequence in this very process, driven through a recording front end: this test
// program carries the sample application as its payload resource, as the installer does.
#include <windows.h>
#include <gtest/gtest.h>

#include "install/installer.h"
#include "tests/install/recording_interface.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/product_state.h"
#include "tests/support/test_support.h"
#include "ui/copy_progress.h"

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
    RecordingInterface recorder;
};

TEST_F(InstallSequence, ReportsItsPhasesInOrderOnOneProgressRange) {
    Installer installer;
    ASSERT_TRUE(installer.install(recorder, recorder));

    EXPECT_EQ(recorder.statuses(),
              (std::vector<std::string>{"Uninstalling previous versions...", "Installing files...",
                                        "Installing uninstaller...", "Updating registry...",
                                        "Creating short cuts...", "Launching Lexmora..."}));
    // Nothing else talks to the user, and no earlier version meant nothing to run before the start
    // of the application.
    EXPECT_TRUE(recorder.of(RecordedCall::Error).empty());
    EXPECT_TRUE(recorder.of(RecordedCall::Question).empty());
    EXPECT_TRUE(recorder.of(RecordedCall::Finish).empty());
    const auto logged = recorder.of(RecordedCall::Log);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].text, "\"" + testsupport::narrow(productPaths().program) + "\" --safe-mode");

    // One total for the whole install: the payload and then this program's copy. Positions never
    // go back, start at 0 and reach at least the end of the payload (this system's copy routine
    // reports nothing of its own; copyProgress is tested directly below).
    const uint32_t payload = ownPayloadSize();
    const uint32_t total = payload + static_cast<uint32_t>(ownFileSize());
    const auto progress = recorder.of(RecordedCall::Progress);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.front().position, 0u);
    uint32_t previous = 0;
    for (const RecordedCall& call : progress) {
        EXPECT_EQ(call.total, total);
        EXPECT_GE(call.position, previous);
        EXPECT_LE(call.position, total);
        previous = call.position;
    }
    EXPECT_GE(previous, payload);
    EXPECT_EQ(installer.progressBase, payload);

    // Progress belongs to the unpacking and the copy: it starts right after "Installing files..."
    // and ends before "Updating registry...".
    size_t first = 0, last = 0, registry = 0;
    for (size_t i = 0; i < recorder.calls.size(); ++i) {
        if (recorder.calls[i].text == "Updating registry...") registry = i;
        if (recorder.calls[i].kind != RecordedCall::Progress) continue;
        if (first == 0) first = i;
        last = i;
    }
    ASSERT_GT(first, 0u);
    EXPECT_EQ(recorder.calls[first - 1].text, "Installing files...");
    EXPECT_LT(last, registry);
}

TEST_F(InstallSequence, RemovesAnEarlierWindowsInstallerProductBeforeUnpacking) {
    // A real per-user package of the product's first upgrade family, as version 2 was shipped.
    ASSERT_EQ(testsupport::runAndWait(L"msiexec.exe /i \"" + besideModule(L"earlier-lexmora.msi") + L"\" /qn"), 0u);
    ASSERT_TRUE(testsupport::keyExists(L"Software\\LexmoraTests\\Msi\\LexmoraEarlier"));

    Installer installer;
    ASSERT_TRUE(installer.install(recorder, recorder));

    EXPECT_FALSE(testsupport::keyExists(L"Software\\LexmoraTests\\Msi\\LexmoraEarlier")) << "removed";
    // The order of events: the removal runs after the first status and before the files.
    std::vector<std::string> order;
    for (const RecordedCall& call : recorder.calls) {
        if (call.kind == RecordedCall::Log) order.push_back(call.text.find("msiexec.exe\" /quiet /qn /x {") !=
                                                                    std::string::npos
                                                                ? "msiexec"
                                                                : "start");
        if (call.kind == RecordedCall::Status) order.push_back(call.text);
        if (call.kind == RecordedCall::Progress && order.back() != "progress") order.push_back("progress");
    }
    ASSERT_GE(order.size(), 4u);
    EXPECT_EQ(order[0], "Uninstalling previous versions...");
    EXPECT_EQ(order[1], "msiexec");
    EXPECT_EQ(order[2], "Installing files...");
    EXPECT_EQ(order[3], "progress");
    testsupport::deleteKeyTree(L"Software\\LexmoraTests\\Msi");
}

TEST(CopyProgress, ContinuesTheInstallsRangeFromTheProgressBase) {
    RecordingInterface recorder;
    Installer installer;
    installer.frontEnd = &recorder;
    installer.progressBase = 1000;
    auto call = [&](uint64_t total, uint64_t copied, DWORD reason) {
        LARGE_INTEGER t, c, zero{};
        t.QuadPart = static_cast<LONGLONG>(total);
        c.QuadPart = static_cast<LONGLONG>(copied);
        return copyProgress(t, c, zero, zero, 1, reason, nullptr, nullptr, &installer);
    };
    EXPECT_EQ(call(5000, 0, CALLBACK_STREAM_SWITCH), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(call(5000, 2500, CALLBACK_CHUNK_FINISHED), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(call(5000, 5000, CALLBACK_CHUNK_FINISHED), static_cast<DWORD>(PROGRESS_CONTINUE));
    // At 4 GiB and beyond only the low 32 bits of the counts are used.
    EXPECT_EQ(call(0x100000100ull, 0x100000010ull, CALLBACK_CHUNK_FINISHED), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(call(0x100000000ull, 0xFFFFFFFFull, CALLBACK_CHUNK_FINISHED), static_cast<DWORD>(PROGRESS_CONTINUE));

    const auto progress = recorder.of(RecordedCall::Progress);
    ASSERT_EQ(progress.size(), 5u);
    EXPECT_EQ(progress[0].position, 1000u);
    EXPECT_EQ(progress[0].total, 6000u);
    EXPECT_EQ(progress[1].position, 3500u);
    EXPECT_EQ(progress[2].position, 6000u);
    EXPECT_EQ(progress[3].position, 1000u + 0x10);
    EXPECT_EQ(progress[3].total, 1000u + 0x100);
    EXPECT_EQ(progress[4].position, 1000u + 0xFFFFFFFFu);  // wraps, as the whole 32-bit scale does
    EXPECT_EQ(progress[4].total, 1000u);
}

}  // namespace
}  // namespace swiftsetup
