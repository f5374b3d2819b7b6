#include "platform/window_text.h"

#include "platform/text_conversion.h"

namespace swiftsetup {

void setWindowText(HWND window, const std::string& text) { SetWindowTextW(window, utf8ToWide(text).c_str()); }

int showMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    return MessageBoxW(owner, utf8ToWide(text).c_str(), utf8ToWide(caption).c_str(), type);
}

}  // namespace swiftsetup
