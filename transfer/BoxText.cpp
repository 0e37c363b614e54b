#include "BoxText.h"

#include "TextSearch.h"
#include "Texts.h"

std::string ClipForBox(const std::string& sjis, size_t maxChars) {
    size_t end = 0;
    for (size_t chars = 0; end < sjis.size() && chars < maxChars; ++chars) {
        const bool pair =
            IsSjisLeadByte(static_cast<unsigned char>(sjis[end])) && end + 1 < sjis.size();
        end += pair ? 2 : 1;
    }
    if (end >= sjis.size()) return sjis;
    return sjis.substr(0, end) + Texts::kEllipsis;
}
