// The windowed front end, driven by a scripted sequence on its real worker thread while the test's
// main thread runs the real message loop. Everything is read back from Windows, as a user or an
// accessibility tool would see it.
#include "ui/graphical_interface.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "install/installer.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_observation.h"
#include "tests/ui/scripted_installer.h"
#include "ui/dummy_logger.h"

namespace swiftsetup {
namespace {

using testsupport::widen;
using uitest::MessageBoxAnswerer;
using uitest::MessageBoxSeen;

constexpr wchar_t kClassName[] = L"SwiftSetupClass";
const std::string kDanishTitle = "Lexmora – Installationsprogram (æøå ÆØÅ)";
const std::string kGermanTitle = "Lexmora-Installationsprogramm für Größe";

bool classRegistered() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    return GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &info) != FALSE;
}

struct ProgressState {
    int low = -1;
    int high = -1;
    int position = -1;
};

ProgressState progressOf(HWND bar) {
    PBRANGE range{};
    SendMessageW(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    return {range.iLow, range.iHigh, static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0))};
}

// A run that never returns blocks the test's main thread for good; this says which test hung
// instead of leaving it to the runner's time limit.
class Watchdog {
public:
    Watchdog() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this] { watch(); }) {}
    ~Watchdog() {
        SetEvent(done_);
        thread_.join();
        CloseHandle(done_);
    }

private:
    void watch() {
        if (WaitForSingleObject(done_, 90000) == WAIT_OBJECT_0) return;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::fprintf(stderr, "%s.%s did not finish within 90 s: the run hangs\n",
                     test->test_suite_name(), test->name());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }

    HANDLE done_;
    std::thread thread_;
};

class GraphicalInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::resetScripts();
        ASSERT_FALSE(classRegistered()) << "a window class left behind by an earlier test";
    }
    void TearDown() override { uitest::resetScripts(); }

    Watchdog watchdog_;
    Installer installer_;
    DummyLogger logger_;
};

// What the scripted sequence saw of the window while it ran.
struct RunObservations {
    HWND window = nullptr;
    bool visible = false;
    std::wstring title;
    RECT outer{}, client{}, desktop{};
    LONG style = 0, exStyle = 0;
    HWND statusLine = nullptr, progressBar = nullptr;
    RECT statusRect{}, progressRect{};
    LONG statusStyle = 0, progressStyle = 0;
    HFONT statusFont = nullptr, progressFont = nullptr;
    ProgressState initial;
    std::wstring status;
    std::vector<ProgressState> progress;
    int filledLeft = 0, filledRight = 0, sampled = 0;
    bool screenshotSaved = false;
    bool reachedEnd = false;
};

TEST_F(GraphicalInterfaceTest, RunShowsCentredFixedWindowAndFollowsTheSequence) {
    auto ui = std::make_unique<GraphicalInterface>(kDanishTitle, installer_);
    HWND window = FindWindowW(kClassName, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window, ui->windowHandle());
    EXPECT_FALSE(IsWindowVisible(window)) << "the window is shown only when the run starts";

    // The class, as registered by the first front end.
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 0);
    EXPECT_EQ(info.hCursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    EXPECT_NE(info.hIcon, nullptr) << "icon group 256 of the program";
    EXPECT_EQ(info.lpszMenuName, nullptr);

    // The progress bar's library is loaded from the system folder, not found by search.
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t loadedFrom[MAX_PATH] = {}, systemFolder[MAX_PATH] = {};
    GetModuleFileNameW(comctl, loadedFrom, MAX_PATH);
    GetSystemDirectoryW(systemFolder, MAX_PATH);
    EXPECT_EQ(_wcsicmp(loadedFrom, (std::wstring(systemFolder) + L"\\comctl32.dll").c_str()), 0)
        << testsupport::narrow(loadedFrom);

    RunObservations seen;
    uitest::scripted().install = [&](Interface& frontEnd) {
        seen.window = FindWindowW(kClassName, nullptr);
        seen.visible = IsWindowVisible(seen.window);
        seen.title = testsupport::windowText(seen.window);
        GetWindowRect(seen.window, &seen.outer);
        GetClientRect(seen.window, &seen.client);
        GetClientRect(GetDesktopWindow(), &seen.desktop);
        seen.style = GetWindowLongW(seen.window, GWL_STYLE);
        seen.exStyle = GetWindowLongW(seen.window, GWL_EXSTYLE);
        seen.statusLine = FindWindowExW(seen.window, nullptr, L"Static", nullptr);
        seen.progressBar = FindWindowExW(seen.window, nullptr, L"msctls_progress32", nullptr);
        seen.statusRect = uitest::rectInParent(seen.statusLine);
        seen.progressRect = uitest::rectInParent(seen.progressBar);
        seen.statusStyle = GetWindowLongW(seen.statusLine, GWL_STYLE);
        seen.progressStyle = GetWindowLongW(seen.progressBar, GWL_STYLE);
        seen.statusFont = reinterpret_cast<HFONT>(SendMessageW(seen.statusLine, WM_GETFONT, 0, 0));
        seen.progressFont = reinterpret_cast<HFONT>(SendMessageW(seen.progressBar, WM_GETFONT, 0, 0));
        seen.initial = progressOf(seen.progressBar);

        frontEnd.setStatus("Installerer filer – æøå…");
        seen.status = testsupport::windowText(seen.statusLine);

        // Every call carries its own total, and the bar follows each one.
        const std::pair<uint32_t, uint32_t> calls[] = {
            {0, 1000}, {250, 1000}, {300, 400}, {5, 10}, {7, 7}, {0, 100},
            // Totals beyond the control's signed range keep their proportion.
            {0xC0000000u, 0xFFFFFFFEu}, {0x7FFFFFFFu, 0x80000000u},
        };
        for (const auto& [position, total] : calls) {
            frontEnd.setProgress(position, total);
            seen.progress.push_back(progressOf(seen.progressBar));
        }

        // The window as the user sees it, with a partly filled bar: a test artifact, and proof
        // that the bar paints the share it was given.
        frontEnd.setProgress(40, 100);
        RECT bar{};
        GetWindowRect(seen.progressBar, &bar);
        const COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
        uitest::waitUntil([&] {
            RedrawWindow(seen.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            const uitest::ScreenCapture shot(bar);
            const int row = shot.height() / 2;
            seen.filledLeft = seen.filledRight = seen.sampled = 0;
            for (int x = 4; x < shot.width() * 35 / 100; ++x, ++seen.sampled) {
                seen.filledLeft += shot.pixel(x, row) == fill;
                seen.filledRight += shot.pixel(shot.width() - 1 - x, row) == fill;
            }
            return seen.filledLeft == seen.sampled;
        }, 10000);
        RECT whole{};
        GetWindowRect(seen.window, &whole);
        seen.screenshotSaved = uitest::ScreenCapture(whole).saveBmp(
            testsupport::besideModule(L"ui.graphical_interface.window.bmp"));

        seen.reachedEnd = true;
        return false;  // a failed sequence still ends the run the same way
    };

    const DWORD mainThread = GetCurrentThreadId();
    EXPECT_TRUE(ui->install(logger_));

    // The sequence ran once, as an install, on a thread of its own.
    EXPECT_EQ(uitest::scripted().installRuns, 1);
    EXPECT_EQ(uitest::scripted().uninstallRuns, 0);
    EXPECT_NE(uitest::scripted().threadId, mainThread);
    EXPECT_EQ(uitest::scripted().frontEnd, ui.get());
    EXPECT_EQ(uitest::scripted().logger, &logger_);
    EXPECT_EQ(installer_.frontEnd, ui.get());
    ASSERT_TRUE(seen.reachedEnd);
    EXPECT_FALSE(IsWindow(window)) << "the window closes when the sequence ends";

    EXPECT_EQ(seen.window, window);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(seen.title, widen(kDanishTitle));

    // Client area 400 by 68 whatever the frame; centred across, and placed by the client height
    // down, from the desktop's client rectangle and the window's real outer size.
    EXPECT_EQ(seen.client.right - seen.client.left, 400);
    EXPECT_EQ(seen.client.bottom - seen.client.top, 68);
    const RECT& d = seen.desktop;
    const LONG outerWidth = seen.outer.right - seen.outer.left;
    EXPECT_EQ(seen.outer.left, d.left + (d.right - d.left - outerWidth) / 2);
    EXPECT_EQ(seen.outer.top, d.top + (d.bottom - d.top - 68) / 2);

    // Caption with minimise and close, a sizing border, no maximise.
    const LONG frameBits = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_EQ(seen.style & frameBits, 0x00CE0000);
    EXPECT_EQ(seen.exStyle & WS_EX_OVERLAPPEDWINDOW, WS_EX_OVERLAPPEDWINDOW);

    // The two controls, with 8-pixel margins around and between them, in the dialog font.
    ASSERT_NE(seen.statusLine, nullptr);
    ASSERT_NE(seen.progressBar, nullptr);
    EXPECT_EQ(seen.statusRect.left, 8);
    EXPECT_EQ(seen.statusRect.top, 8);
    EXPECT_EQ(seen.statusRect.right, 392);
    EXPECT_EQ(seen.statusRect.bottom, 32);
    EXPECT_EQ(seen.progressRect.left, 8);
    EXPECT_EQ(seen.progressRect.top, 36);
    EXPECT_EQ(seen.progressRect.right, 392);
    EXPECT_EQ(seen.progressRect.bottom, 60);
    EXPECT_EQ(seen.statusStyle & 0xFFFF001F, 0x50000000);  // child, visible, left-aligned text
    EXPECT_EQ(seen.progressStyle & 0xFFFF00FF, 0x50000001);  // child, visible, smooth
    EXPECT_EQ(seen.statusFont, GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(seen.progressFont, GetStockObject(DEFAULT_GUI_FONT));

    EXPECT_EQ(seen.status, L"Installerer filer – æøå…");

    // The control's own defaults until the first call, then each call's range and position.
    EXPECT_EQ(seen.initial.low, 0);
    EXPECT_EQ(seen.initial.high, 100);
    EXPECT_EQ(seen.initial.position, 0);
    const int expected[][2] = {{0, 1000}, {250, 1000}, {300, 400}, {5, 10}, {7, 7}, {0, 100},
                               {0x60000000, 0x7FFFFFFF}, {0x3FFFFFFF, 0x40000000}};
    ASSERT_EQ(seen.progress.size(), std::size(expected));
    for (size_t i = 0; i < seen.progress.size(); ++i) {
        SCOPED_TRACE("setProgress call " + std::to_string(i));
        EXPECT_EQ(seen.progress[i].low, 0);
        EXPECT_EQ(seen.progress[i].position, expected[i][0]);
        EXPECT_EQ(seen.progress[i].high, expected[i][1]);
    }

    // At 40 %, the left third of the bar is filled and the right third is not.
    EXPECT_GT(seen.sampled, 100);
    EXPECT_EQ(seen.filledLeft, seen.sampled);
    EXPECT_EQ(seen.filledRight, 0);
    EXPECT_TRUE(seen.screenshotSaved);
}

// What the sequence's boxes showed and answered.
struct BoxObservations {
    HWND window = nullptr;
    std::wstring title;
    MessageBoxSeen error, warning, information, yesBox, noBox;
    bool yes = false, no = true;
    bool reachedEnd = false;
};

TEST_F(GraphicalInterfaceTest, BoxesAndQuestionsAreModalOnTheWindow) {
    auto ui = std::make_unique<GraphicalInterface>(kGermanTitle, installer_);
    BoxObservations seen;
    uitest::scripted().uninstall = [&](Interface& frontEnd) {
        seen.window = FindWindowW(kClassName, nullptr);
        seen.title = testsupport::windowText(seen.window);
        {
            MessageBoxAnswerer driver(L"Fehler – Größe", IDOK);
            frontEnd.showError("Die Dateien konnten nicht entpackt werden: äöü", "Fehler – Größe");
            seen.error = driver.result();
        }
        {
            MessageBoxAnswerer driver(L"Warnung", IDOK);
            frontEnd.showWarning("Achtung: ß", "Warnung");
            seen.warning = driver.result();
        }
        {
            MessageBoxAnswerer driver(L"Hinweis", IDOK);
            frontEnd.showInformation("Fertig.", "Hinweis");
            seen.information = driver.result();
        }
        {
            MessageBoxAnswerer driver(L"Lexmora entfernen", IDYES);
            seen.yes = frontEnd.askYesNo("Möchten Sie Lexmora entfernen?", "Lexmora entfernen");
            seen.yesBox = driver.result();
        }
        {
            MessageBoxAnswerer driver(L"Lexmora entfernen", IDNO);
            seen.no = frontEnd.askYesNo("Möchten Sie Lexmora entfernen?", "Lexmora entfernen");
            seen.noBox = driver.result();
        }
        seen.reachedEnd = true;
        return true;
    };

    EXPECT_TRUE(ui->uninstall(logger_));
    EXPECT_EQ(uitest::scripted().uninstallRuns, 1);
    EXPECT_EQ(uitest::scripted().installRuns, 0);
    ASSERT_TRUE(seen.reachedEnd);
    ASSERT_NE(seen.window, nullptr);
    EXPECT_EQ(seen.title, widen(kGermanTitle)) << "an uninstall keeps the title it was given";

    // An error looks like a warning: warning icon, one OK button, owned by and modal on the window.
    for (const MessageBoxSeen* box : {&seen.error, &seen.warning}) {
        ASSERT_TRUE(box->found);
        EXPECT_TRUE(box->visible);
        EXPECT_EQ(box->owner, seen.window);
        EXPECT_FALSE(box->ownerEnabled);
        EXPECT_EQ(box->icon, LoadIconW(nullptr, IDI_WARNING));
        EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
    }
    EXPECT_EQ(seen.error.caption, L"Fehler – Größe");
    EXPECT_EQ(seen.error.text, L"Die Dateien konnten nicht entpackt werden: äöü");
    EXPECT_EQ(seen.warning.caption, L"Warnung");
    EXPECT_EQ(seen.warning.text, L"Achtung: ß");

    ASSERT_TRUE(seen.information.found);
    EXPECT_EQ(seen.information.owner, seen.window);
    EXPECT_EQ(seen.information.icon, LoadIconW(nullptr, IDI_INFORMATION));
    EXPECT_EQ(seen.information.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(seen.information.text, L"Fertig.");

    // The question offers Yes and No only; only Yes answers true.
    for (const MessageBoxSeen* box : {&seen.yesBox, &seen.noBox}) {
        ASSERT_TRUE(box->found);
        EXPECT_EQ(box->owner, seen.window);
        EXPECT_FALSE(box->ownerEnabled);
        EXPECT_EQ(box->caption, L"Lexmora entfernen");
        EXPECT_EQ(box->text, L"Möchten Sie Lexmora entfernen?");
        EXPECT_EQ(box->icon, LoadIconW(nullptr, IDI_QUESTION));
        EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
    }
    EXPECT_TRUE(seen.yes);
    EXPECT_FALSE(seen.no);
}

// What the sequence saw after the user had closed the window under it.
struct CloseObservations {
    bool windowGone = false;
    bool updatesReturned = false;
    MessageBoxSeen error, yesBox, noBox;
    bool yes = false, no = true;
    bool reachedEnd = false;
};

TEST_F(GraphicalInterfaceTest, ClosingTheWindowByHandLetsTheSequenceFinish) {
    auto ui = std::make_unique<GraphicalInterface>(kDanishTitle, installer_);
    CloseObservations seen;
    uitest::scripted().install = [&](Interface& frontEnd) {
        HWND window = FindWindowW(kClassName, nullptr);
        frontEnd.setStatus("Installerer filer...");
        frontEnd.setProgress(10, 100);

        // The user clicks the close button (or Alt+F4): the window menu's Close.
        std::thread user([window] { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); });
        user.join();
        seen.windowGone = uitest::waitUntil([window] { return !IsWindow(window); });

        // The sequence carries on; its reports now go nowhere and return at once.
        for (uint32_t position = 11; position <= 100; ++position) frontEnd.setProgress(position, 100);
        frontEnd.setStatus("Opretter genveje...");
        seen.updatesReturned = true;

        // A box still reaches the user, on its own now that its owner is gone.
        {
            MessageBoxAnswerer driver(L"Fejl", IDOK);
            frontEnd.showError("Genvejene kunne ikke oprettes: æøå", "Fejl");
            seen.error = driver.result();
        }
        {
            MessageBoxAnswerer driver(L"Spørgsmål", IDYES);
            seen.yes = frontEnd.askYesNo("Fortsæt?", "Spørgsmål");
            seen.yesBox = driver.result();
        }
        {
            MessageBoxAnswerer driver(L"Spørgsmål", IDNO);
            seen.no = frontEnd.askYesNo("Fortsæt?", "Spørgsmål");
            seen.noBox = driver.result();
        }
        seen.reachedEnd = true;
        return true;
    };

    EXPECT_TRUE(ui->install(logger_));
    EXPECT_TRUE(seen.windowGone);
    EXPECT_TRUE(seen.updatesReturned);
    EXPECT_TRUE(seen.reachedEnd) << "install() returned before the sequence ended";

    ASSERT_TRUE(seen.error.found) << "the error box after the close was never shown";
    EXPECT_TRUE(seen.error.visible);
    EXPECT_EQ(seen.error.owner, nullptr);
    EXPECT_EQ(seen.error.text, L"Genvejene kunne ikke oprettes: æøå");
    EXPECT_EQ(seen.error.icon, LoadIconW(nullptr, IDI_WARNING));
    EXPECT_EQ(seen.error.buttons, std::vector<int>{IDOK});
    ASSERT_TRUE(seen.yesBox.found);
    ASSERT_TRUE(seen.noBox.found);
    EXPECT_EQ(seen.yesBox.owner, nullptr);
    EXPECT_EQ(seen.yesBox.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(seen.yes);
    EXPECT_FALSE(seen.no);
}

TEST_F(GraphicalInterfaceTest, FrontEndsShareOneClassRegistration) {
    uitest::scripted().install = [](Interface&) { return true; };
    auto first = std::make_unique<GraphicalInterface>(kDanishTitle, installer_);
    EXPECT_TRUE(classRegistered());
    auto second = std::make_unique<GraphicalInterface>(kGermanTitle, installer_);
    EXPECT_TRUE(classRegistered());
    EXPECT_EQ(testsupport::windowText(second->windowHandle()), widen(kGermanTitle));

    // Both run, so no window of the class is left to keep it registered by itself.
    EXPECT_TRUE(first->install(logger_));
    EXPECT_TRUE(second->install(logger_));
    EXPECT_EQ(uitest::scripted().installRuns, 2);
    first.reset();
    EXPECT_TRUE(classRegistered()) << "unregistered while another front end lives";
    second.reset();
    EXPECT_FALSE(classRegistered());

    // A front end dropped without ever running takes its window with it, and then the class.
    auto unused = std::make_unique<GraphicalInterface>(kDanishTitle, installer_);
    HWND window = unused->windowHandle();
    EXPECT_TRUE(IsWindow(window));
    unused.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(classRegistered());

    // A later front end registers the class afresh and runs as the first did.
    auto later = std::make_unique<GraphicalInterface>(kDanishTitle, installer_);
    EXPECT_TRUE(classRegistered());
    EXPECT_TRUE(later->install(logger_));
    EXPECT_EQ(uitest::scripted().installRuns, 3);
    later.reset();
    EXPECT_FALSE(classRegistered());
}

LRESULT CALLBACK refuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return FALSE;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(GraphicalInterfaceTest, WithoutAWindowTheSequenceRunsInPlaceAndStillReachesTheUser) {
    // A class of that name that refuses every window: registration and creation both fail.
    WNDCLASSEXW refusing{};
    refusing.cbSize = sizeof(refusing);
    refusing.lpfnWndProc = &refuseCreation;
    refusing.hInstance = GetModuleHandleW(nullptr);
    refusing.lpszClassName = kClassName;
    ASSERT_NE(RegisterClassExW(&refusing), 0);

    auto ui = std::make_unique<GraphicalInterface>(kDanishTitle, installer_);
    EXPECT_EQ(ui->windowHandle(), nullptr);
    MessageBoxSeen error;
    bool reachedEnd = false;
    uitest::scripted().install = [&](Interface& frontEnd) {
        frontEnd.setStatus("Installerer filer...");
        frontEnd.setProgress(1, 2);
        MessageBoxAnswerer driver(L"Fejl", IDOK);
        frontEnd.showError("Udpakningen mislykkedes.", "Fejl");
        error = driver.result();
        reachedEnd = true;
        return false;
    };
    EXPECT_TRUE(ui->install(logger_));  // rather than wait forever for a window that never was
    EXPECT_TRUE(reachedEnd);
    EXPECT_EQ(uitest::scripted().threadId, GetCurrentThreadId());
    ASSERT_TRUE(error.found);
    EXPECT_EQ(error.owner, nullptr);
    EXPECT_EQ(error.text, L"Udpakningen mislykkedes.");

    ui.reset();
    UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

}  // namespace
}  // namespace swiftsetup
