#include "UUEncoder.h"

#include <cstring>
#include <istream>
#include <string>

#include "SysUtils.h"

namespace {
constexpr size_t kBytesPerLine = 45;
const char kMimeAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}  // namespace

void TUUProcessor::Encode() {
    if (InputStream == nullptr || OutputStream == nullptr)
        throw Exception("Encode needs an input and an output stream");
    InputStream->clear();
    InputStream->seekg(0);
    if (OnBeginEncode) OnBeginEncode(*this);

    try {
        EncodeLines();
    } catch (...) {
        FinishEncode();
        throw;
    }
    FinishEncode();
}

// The output is rewound whichever way the encoding ends, so a caller always reads from the
// first line.
void TUUProcessor::FinishEncode() {
    OutputStream->clear();
    OutputStream->seekg(0);
    OutputStream->seekp(0);
    if (OnEndEncode) OnEndEncode(*this);
}

void TUUProcessor::EncodeLines() {
    if (Method == uuMime) {
        std::memcpy(Alphabet, kMimeAlphabet, 64);
    } else {
        Alphabet[0] = '`';
        for (int i = 1; i < 64; ++i) Alphabet[i] = static_cast<char>(0x20 + i);
    }
    const bool mime = Method == uuMime;
    auto code = [this](unsigned value) { return Alphabet[value & 63]; };

    unsigned char block[kBytesPerLine];
    for (;;) {
        InputStream->read(reinterpret_cast<char*>(block), kBytesPerLine);
        size_t n = static_cast<size_t>(InputStream->gcount());
        if (n == 0) {
            if (InputStream->bad()) throw Exception("Stream read error");
            break;
        }
        std::string line;
        if (!mime) line += code(static_cast<unsigned>(n));
        size_t i = 0;
        for (; i + 3 <= n; i += 3) {
            unsigned b0 = block[i], b1 = block[i + 1], b2 = block[i + 2];
            line += code(b0 >> 2);
            line += code((b0 << 4) | (b1 >> 4));
            line += code((b1 << 2) | (b2 >> 6));
            line += code(b2);
        }
        if (n - i == 1) {
            unsigned b0 = block[i];
            line += code(b0 >> 2);
            line += code((b0 << 4) & 48);
            if (mime) line += "==";
        } else if (n - i == 2) {
            unsigned b0 = block[i], b1 = block[i + 1];
            line += code(b0 >> 2);
            line += code(((b0 << 4) & 48) | (b1 >> 4));
            line += code((b1 << 2) & 60);
            if (mime) line += '=';
        }
        line += "\r\n";
        OutputStream->write(line.data(), static_cast<std::streamsize>(line.size()));
        if (!*OutputStream) throw Exception("Stream write error");
        if (n < kBytesPerLine) break;
    }
    if (!mime) {
        std::string closing = std::string(1, Alphabet[0]) + "\r\n";
        OutputStream->write(closing.data(), static_cast<std::streamsize>(closing.size()));
        if (!*OutputStream) throw Exception("Stream write error");
    }
}
