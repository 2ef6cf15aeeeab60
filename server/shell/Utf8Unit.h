#pragma once

#include <string>
#include <string_view>

// Strict UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing above U+10FFFF; four-byte
// sequences are accepted.
bool IsValidUtf8(std::string_view bytes);

// The request text as a handler receives it: the bytes themselves when they are valid UTF-8,
// otherwise the empty text.
std::string DecodeRequestText(std::string_view bytes);
