#include <climits>
#include <cstring>
#include <string>

#include "platform_win.h"
#include "registrar_types.h"

namespace tw {
namespace {

std::wstring ToWide(const std::u16string& text) {
    std::wstring wide(text.size(), L'\0');
    if (!text.empty()) {
        std::memcpy(&wide[0], text.data(), text.size() * sizeof(char16_t));
    }
    return wide;
}

// The text functions of one ANSI code page, by the identifier they all take.
class WindowsTextServices final : public TextServices {
  public:
    explicit WindowsTextServices(UINT codePage) : codePage_(codePage) {}

    const char* NextChar(const char* p) const override {
        // The stepping of CharNextExA, over the lead bytes of this code page; IsDBCSLeadByteEx
        // takes CP_THREAD_ACP as well, which CharNextExA does not.
        if (*p == '\0') {
            return p;
        }
        return IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0' ? p + 2 : p + 1;
    }

    bool IsLeadByte(unsigned char byte) const override {
        return IsDBCSLeadByteEx(codePage_, byte) != FALSE;
    }

    bool ToUtf16(const std::string& narrow, std::u16string* wide) const override {
        wide->clear();
        if (narrow.empty()) {
            return true;
        }
        if (narrow.size() > INT_MAX) {
            return false;
        }
        const int length = static_cast<int>(narrow.size());
        const int units = MultiByteToWideChar(codePage_, 0, narrow.data(), length, nullptr, 0);
        if (units <= 0) {
            return false;
        }
        std::wstring converted(static_cast<size_t>(units), L'\0');
        if (MultiByteToWideChar(codePage_, 0, narrow.data(), length, &converted[0], units) !=
            units) {
            return false;
        }
        wide->resize(converted.size());
        std::memcpy(&(*wide)[0], converted.data(), converted.size() * sizeof(char16_t));
        return true;
    }

    bool FromUtf16(const std::u16string& wide, std::string* narrow) const override {
        narrow->clear();
        if (wide.empty()) {
            return true;
        }
        if (wide.size() > INT_MAX) {
            return false;
        }
        const std::wstring text = ToWide(wide);
        const int length = static_cast<int>(text.size());
        const int bytes =
            WideCharToMultiByte(codePage_, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) {
            return false;
        }
        narrow->resize(static_cast<size_t>(bytes));
        return WideCharToMultiByte(codePage_, 0, text.data(), length, &(*narrow)[0], bytes, nullptr,
                                   nullptr) == bytes;
    }

    HRESULT ParseUI4(const std::u16string& text, uint32_t* value) const override {
        std::wstring copy = ToWide(text);
        ULONG parsed = 0;
        const HRESULT hr = VarUI4FromStr(&copy[0], 0, 0, &parsed);
        if (SUCCEEDED(hr)) {
            *value = parsed;
        }
        return hr;
    }

  private:
    UINT codePage_;
};

}  // namespace

const TextServices& PlatformTextServices(AnsiCodePage codePage) {
    static const WindowsTextServices system(CP_ACP);
    static const WindowsTextServices thread(CP_THREAD_ACP);
    return codePage == AnsiCodePage::System ? system : thread;
}

}  // namespace tw
