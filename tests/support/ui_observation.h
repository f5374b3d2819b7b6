#pragma once
// Windows as a user sees them, read from outside, for tests of windowed runs: message boxes found
// and answered by a driver thread as a user would click them, and the screen's pixels.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace uitest {

// Polls until the condition holds or timeoutMs passes; the condition's last value.
bool waitUntil(const std::function<bool()>& condition, uint32_t timeoutMs = 20000);

// A window's rectangle relative to the client area of its parent.
RECT rectInParent(HWND child);

// What a message box showed when the driver found it.
struct MessageBoxSeen {
    bool found = false;
    bool visible = false;
    HWND owner = nullptr;
    bool ownerEnabled = true;  // a modal box disables its owner
    std::wstring caption;
    std::wstring text;
    HICON icon = nullptr;
    std::vector<int> buttons;  // control ids of the visible buttons, in window order
};

// Starts a driver thread that waits for a message box of this process with the given caption,
// records what it shows, and clicks the button with the given id (BM_CLICK). A box that does
// not appear within 20 s is reported as not found.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer(std::wstring caption, int button);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Waits for the driver to finish.
    MessageBoxSeen result();

private:
    void drive();

    std::wstring caption_;
    int button_;
    MessageBoxSeen seen_;
    std::thread driver_;
};

// Pixels of a part of the screen, as the user sees it.
class ScreenCapture {
public:
    explicit ScreenCapture(const RECT& screenRect);
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF pixel(int x, int y) const;  // relative to the captured rectangle
    bool saveBmp(const std::wstring& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;  // 0x00RRGGBB, top row first
};

}  // namespace uitest
