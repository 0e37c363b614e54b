#include "UrlEncoder.h"

#include <exception>

std::string TUrlEncoder::Encode() {
    static const char kHex[] = "0123456789ABCDEF";
    try {
        std::string result;
        result.reserve(InputString.size() * 3);
        for (char c : InputString) {
            unsigned char b = static_cast<unsigned char>(c);
            if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
                result += c;
            } else if (b == ' ') {
                result += '+';
            } else {
                result += '%';
                result += kHex[b >> 4];
                result += kHex[b & 15];
            }
        }
        return result;
    } catch (const std::exception& e) {
        if (OnError) OnError(*this, "Error during encode", e.what());
        return InputString;
    }
}
