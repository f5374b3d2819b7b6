#include "tests/support/ui_observation.h"

#include "tests/support/dialog_driver.h"
#include "tests/support/test_support.h"

namespace uitest {

bool waitUntil(const std::function<bool()>& condition, uint32_t timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= end) return condition();
        Sleep(10);
    }
    return true;
}

RECT rectInParent(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

MessageBoxAnswerer::MessageBoxAnswerer(std::wstring caption, int button)
    : caption_(std::move(caption)), button_(button), driver_([this] { drive(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    if (driver_.joinable()) driver_.join();
}

MessageBoxSeen MessageBoxAnswerer::result() {
    if (driver_.joinable()) driver_.join();
    return seen_;
}

void MessageBoxAnswerer::drive() {
    const std::optional<testsupport::MessageBoxInfo> box =
        testsupport::waitForMessageBox(GetCurrentProcessId(), 20000);
    if (!box || box->caption != caption_) return;
    seen_.found = true;
    seen_.visible = IsWindowVisible(box->box) != FALSE;
    seen_.owner = box->owner;
    seen_.ownerEnabled = seen_.owner != nullptr && IsWindowEnabled(seen_.owner);
    seen_.caption = box->caption;
    seen_.text = box->text;
    seen_.buttons = box->buttons;
    // The dialog's own id for its icon, on Windows as in Wine; icon handles compare within one
    // process only.
    seen_.icon = reinterpret_cast<HICON>(SendDlgItemMessageW(box->box, 0x0440, STM_GETICON, 0, 0));
    SendMessageW(GetDlgItem(box->box, button_), BM_CLICK, 0, 0);
}

ScreenCapture::ScreenCapture(const RECT& screenRect)
    : width_(screenRect.right - screenRect.left), height_(screenRect.bottom - screenRect.top) {
    if (width_ <= 0 || height_ <= 0) {
        width_ = height_ = 0;
        return;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, screen, screenRect.left, screenRect.top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const uint32_t*>(bits);
    pixels_.assign(source, source + static_cast<size_t>(width_) * height_);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

COLORREF ScreenCapture::pixel(int x, int y) const {
    const uint32_t value = pixels_.at(static_cast<size_t>(y) * width_ + x);
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

bool ScreenCapture::saveBmp(const std::wstring& path) const {
    const uint32_t rowBytes = (static_cast<uint32_t>(width_) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height_);
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + imageBytes;
    header.biSize = sizeof(header);
    header.biWidth = width_;
    header.biHeight = height_;  // bottom row first, as every reader expects
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageBytes;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&header), sizeof(header));
    for (int y = height_ - 1; y >= 0; --y) {
        std::string row(rowBytes, '\0');
        for (int x = 0; x < width_; ++x) {
            const uint32_t value = pixels_[static_cast<size_t>(y) * width_ + x];
            row[x * 3 + 0] = static_cast<char>(value & 0xFF);
            row[x * 3 + 1] = static_cast<char>((value >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((value >> 16) & 0xFF);
        }
        bytes += row;
    }
    return testsupport::writeFile(path, bytes);
}

}  // namespace uitest
