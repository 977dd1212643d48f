#pragma once

// Letter case of UTF-8 texts, for comparing phrases the way a person reads them ("Äpfel" and
// "äpfel" are one phrase). Simple one-to-one mappings of the Latin, Greek, Cyrillic and
// Armenian letters (Unicode's simple lower-case mapping for those blocks); other characters,
// and bytes that are not valid UTF-8, are left as they are.

#include <string>
#include <string_view>

namespace kelvaro {

// `text` (UTF-8) with every upper-case letter of those alphabets in lower case.
std::string LowerUtf8(std::string_view text);

}  // namespace kelvaro
