#pragma once
#include <windows.h>

#include "install/interface.h"

namespace swiftsetup {

class Installer;

// The windowed front end: a small fixed window with a status line above a progress bar. The
// sequence runs on a worker thread while the main thread serves the window's messages; the
// worker reaches the window only through Windows (synchronous sends, modal boxes, a posted close).
class GraphicalInterface final : public Interface {
public:
    GraphicalInterface(const std::string& title, Installer& installer);
    ~GraphicalInterface() override;
    GraphicalInterface(const GraphicalInterface&) = delete;
    GraphicalInterface& operator=(const GraphicalInterface&) = delete;

    void finish() override;
    void setStatus(const std::string& text) override;
    void setProgress(uint32_t position, uint32_t total) override;
    void showWarning(const std::string& text, const std::string& caption) override;
    void showError(const std::string& text, const std::string& caption) override;
    void showInformation(const std::string& text, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    bool askRetryCancel(const std::string& text, const std::string& caption) override;
    bool install(Logger& logger) override;
    bool uninstall(Logger& logger) override;

    HWND windowHandle() const { return window_; }

private:
    bool runWindow();
    void runSequence();  // the Installer's install or uninstall, on the calling thread
    int messageBox(const std::string& text, const std::string& caption, UINT type);
    static DWORD WINAPI workerThread(LPVOID frontEnd);
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Installer& installer_;
    HWND window_ = nullptr;
    HWND statusLine_ = nullptr;
    HWND progressBar_ = nullptr;
    Logger* logger_ = nullptr;
    bool uninstalling_ = false;

    // Live instances; the window class is registered by the first and unregistered by the last.
    // Touched only on the main thread.
    static int instanceCount_;
};

}  // namespace swiftsetup
