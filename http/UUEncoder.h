// Base64 and uuencode of a byte stream, in lines of at most 45 input bytes each ending with
// CR LF. The HTTP client uses the Base64 form for its Basic authorization value.
#pragma once

#include <functional>
#include <iosfwd>

enum UUMethods { uuMime = 0, uuCode = 1 };

class TUUProcessor {
  public:
    using TEncodeEvent = std::function<void(TUUProcessor& Sender)>;

    UUMethods Method = uuMime;
    TEncodeEvent OnBeginEncode, OnEndEncode;
    // The bytes to encode (read from the start to the end) and the stream that receives the
    // lines. Neither is owned; both must be set before Encode.
    std::iostream* InputStream = nullptr;
    std::iostream* OutputStream = nullptr;

    // Appends the encoded lines to OutputStream, then rewinds OutputStream so the caller can
    // read them. uuMime: standard "="-padded Base64, no output for an empty input. uuCode:
    // a length character per line and a closing "`" line. Stream errors raise Exception
    // after the output has been rewound and OnEndEncode has fired.
    void Encode();

  private:
    void EncodeLines();
    void FinishEncode();

    char Alphabet[64] = {};
};
