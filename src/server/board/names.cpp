#include "server/board/names.h"

#include <locale.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/unorm2.h>
#include <unicode/uspoof.h>
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

bool allowed(char32_t c) {
    if (c == ' ' || c == '-' || c == '_' || c == '.') {
        return true;
    }
    const locale_t locale = unicode_locale();
    const wint_t w = static_cast<wint_t>(c);
    return locale != nullptr && (iswalpha_l(w, locale) || iswdigit_l(w, locale)) &&
           iswprint_l(w, locale);
}

// Whether the name's letters are of one script, as ICU's restriction level "highly restrictive"
// allows (Latin alone, or with Han and kana, Han with Bopomofo or Hangul).
bool one_script(const std::string& name) {
    UErrorCode status = U_ZERO_ERROR;
    USpoofChecker* checker = uspoof_open(&status);
    uspoof_setChecks(checker, USPOOF_RESTRICTION_LEVEL, &status);
    uspoof_setRestrictionLevel(checker, USPOOF_HIGHLY_RESTRICTIVE);
    const int32_t found = uspoof_checkUTF8(checker, name.c_str(), static_cast<int32_t>(name.size()),
                                           nullptr, &status);
    uspoof_close(checker);
    return U_SUCCESS(status) && found == 0;
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
    if (!one_script(name)) {
        error = "a name is written in one script: '" + name +
                "' mixes letters of several (a look-alike letter of another alphabet?)";
        return std::nullopt;
    }
    return name;
}

std::string name_key(const std::string& name) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* fold = unorm2_getNFKCCasefoldInstance(&status);
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(name);
    icu::UnicodeString folded;
    if (U_SUCCESS(status)) {
        reinterpret_cast<const icu::Normalizer2*>(fold)->normalize(text, folded, status);
    }
    std::string key;
    (U_SUCCESS(status) ? folded : text).toUTF8String(key);
    return key;
}

std::string name_skeleton(const std::string& name) {
    const std::string& key = name;
    UErrorCode status = U_ZERO_ERROR;
    USpoofChecker* checker = uspoof_open(&status);
    std::string skeleton(key.size() * 4 + 16, '\0');
    int32_t length = 0;
    if (U_SUCCESS(status)) {
        length =
            uspoof_getSkeletonUTF8(checker, 0, key.c_str(), static_cast<int32_t>(key.size()),
                                   skeleton.data(), static_cast<int32_t>(skeleton.size()), &status);
    }
    uspoof_close(checker);
    if (U_FAILURE(status) || length < 0) {
        return key;
    }
    skeleton.resize(static_cast<size_t>(length));
    // Folded after: the skeleton keeps case, whose look-alikes differ ("Т" is "T", "т" is "ᴛ").
    return name_key(skeleton);
}
