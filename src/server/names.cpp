#include "server/names.h"

#include <locale.h>
#include <wctype.h>

#include <vector>

#include "server/limits.h"

namespace {

// Unicode's letters and digits as the C library's UTF-8 locale classifies them.
locale_t unicode_locale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return locale;
}

// The code points of UTF-8 text, strictly: no overlong forms, surrogates or values past
// U+10FFFF; false on any fault.
bool decode(const std::string& text, std::vector<char32_t>& out) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80           ? 0
                          : (lead >> 5) == 0x06 ? 1
                          : (lead >> 4) == 0x0e ? 2
                          : (lead >> 3) == 0x1e ? 3
                                                : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= text.size() + (extra == 0)) {
            return false;
        }
        char32_t c = extra == 0 ? lead : lead & (0x3f >> extra);
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next >> 6) != 2) {
                return false;
            }
            c = (c << 6) | (next & 0x3f);
        }
        static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (c < kLeast[extra] || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) {
            return false;
        }
        out.push_back(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

// The UTF-8 bytes of code point c, in `out` (room for 4); how many.
int wctomb_utf8(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xc0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3f));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xe0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out[2] = static_cast<char>(0x80 | (c & 0x3f));
        return 3;
    }
    out[0] = static_cast<char>(0xf0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3f));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out[3] = static_cast<char>(0x80 | (c & 0x3f));
    return 4;
}

bool allowed(char32_t c) {
    if (c == ' ' || c == '-' || c == '_' || c == '.') {
        return true;
    }
    const locale_t locale = unicode_locale();
    const wint_t w = static_cast<wint_t>(c);
    return locale != nullptr && (iswalpha_l(w, locale) || iswdigit_l(w, locale)) &&
           iswprint_l(w, locale);
}

}  // namespace

std::optional<std::string> valid_name(const std::string& raw, std::string& error) {
    const size_t first = raw.find_first_not_of(' ');
    const std::string name =
        first == std::string::npos ? "" : raw.substr(first, raw.find_last_not_of(' ') - first + 1);
    std::vector<char32_t> chars;
    if (!decode(name, chars)) {
        error = "the name is not valid UTF-8";
        return std::nullopt;
    }
    if (chars.size() < static_cast<size_t>(limits::kNameMin) ||
        chars.size() > static_cast<size_t>(limits::kNameMax)) {
        error = "a name has 1 to 20 characters (not counting spaces at either end)";
        return std::nullopt;
    }
    for (const char32_t c : chars) {
        if (!allowed(c)) {
            error = "a name holds only letters, digits, spaces, '-', '_' and '.'";
            return std::nullopt;
        }
    }
    return name;
}

std::string name_key(const std::string& name) {
    std::vector<char32_t> chars;
    if (!decode(name, chars)) {
        return name;
    }
    std::string key;
    for (const char32_t c : chars) {
        const wint_t lower = towlower_l(static_cast<wint_t>(c), unicode_locale());
        char bytes[8];
        const int n = wctomb_utf8(static_cast<char32_t>(lower), bytes);
        key.append(bytes, static_cast<size_t>(n));
    }
    return key;
}
