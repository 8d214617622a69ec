#include "platform/x11/encoding.h"

namespace nrvnc {

bool Is_Valid_Utf8(const std::string& text) {
    std::size_t i = 0, n = text.size();
    while (i < n) {
        auto c = static_cast<unsigned char>(text[i]);
        int more = c < 0x80           ? 0
                   : (c >> 5) == 0x6  ? 1
                   : (c >> 4) == 0xE  ? 2
                   : (c >> 3) == 0x1E ? 3
                                      : -1;
        if (more < 0 || (more == 1 && c < 0xC2)) return false;
        if (i + static_cast<std::size_t>(more) >= n && more > 0) return false;
        for (int k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80)
                return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

std::string Latin1_To_Utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string To_Utf8(const std::string& text) {
    return Is_Valid_Utf8(text) ? text : Latin1_To_Utf8(text);
}

std::string Prefix_To_Utf8(const std::string& text, std::size_t count) {
    if (count > text.size()) count = text.size();
    if (!Is_Valid_Utf8(text)) return Latin1_To_Utf8(text.substr(0, count));
    // Step back over continuation bytes so no character is cut in two.
    while (count > 0 && count < text.size() &&
           (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80)
        --count;
    return text.substr(0, count);
}

std::string Fold_Case_Utf8(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < utf8.size()) {
            // U+00C0..U+00DE (except U+00D7) fold to U+00E0..U+00FE.
            auto d = static_cast<unsigned char>(utf8[i + 1]);
            if (d >= 0x80 && d <= 0x9E && d != 0x97) d = static_cast<unsigned char>(d + 0x20);
            out += static_cast<char>(c);
            out += static_cast<char>(d);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace nrvnc
