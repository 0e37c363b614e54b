// Form encoding (application/x-www-form-urlencoded) of a byte string, as used for the data
// of a POST sent from a string.
#pragma once

#include <functional>
#include <string>

class TUrlEncoder {
  public:
    // The text to encode; Encode leaves it unchanged.
    std::string InputString;
    // Called when encoding fails; Encode then returns InputString unchanged.
    std::function<void(TUrlEncoder& Sender, const std::string& Operation,
                       const std::string& ErrMsg)>
        OnError;

    // Letters and digits stay, a blank becomes "+", every other byte (Shift-JIS bytes
    // included) becomes "%" and two upper-case hex digits. Never raises.
    std::string Encode();
};
