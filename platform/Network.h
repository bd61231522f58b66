#pragma once

#include <cstdint>

namespace platform {

// What InetAddr answers for a text that is no address. It is also the value of
// 255.255.255.255, which therefore cannot be told from a rejected text.
constexpr uint32_t kNoAddress = 0xFFFFFFFFu;

// The IPv4 address in `text`, in network byte order, by the classic rules of
// the sockets library: one to four dotted parts, each decimal, octal (leading
// 0) or hexadecimal (leading 0x). kNoAddress when the text is not one.
uint32_t InetAddr(const char* text);

}  // namespace platform
