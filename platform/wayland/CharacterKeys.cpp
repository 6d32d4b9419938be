#include "platform/wayland/CharacterKeys.h"

namespace ferrymark {

std::vector<std::pair<std::uint32_t, QString>> CharacterKeys::table() {
    std::vector<std::pair<std::uint32_t, QString>> keys;
    for (char16_t c = 0x21; c < 0x7F; ++c) {
        if (c >= u'A' && c <= u'Z') {
            continue;
        }
        const char16_t key = (c >= u'a' && c <= u'z') ? c - u'a' + u'A' : c;
        keys.emplace_back(key, QString(QChar(c)));
    }
    return keys;
}

QString CharacterKeys::character(std::uint32_t keyCode) {
    if (keyCode < 0x21 || keyCode >= 0x7F || (keyCode >= 'a' && keyCode <= 'z')) {
        return {};
    }
    return QString(QChar(keyCode)).toLower();
}

}  // namespace ferrymark
