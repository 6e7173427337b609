#pragma once
// The inverse of CLzwEncoder, for checking what we send: every code is checked
// against the dictionary, and the output is bounded.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decodes a whole stream as CLzwEncoder writes it: a clear code first, codes of 9 to
// 12 bits least significant bit first, the end code, zero bits to the byte boundary
// and nothing after. Returns false with a reason in `error` (and `out` empty) for a
// stream that ends early, holds a code the dictionary does not have, or would unpack
// to more than maxOutput bytes.
[[nodiscard]] bool LzwDecompress(const std::uint8_t* data, std::size_t size, std::size_t maxOutput,
                                 std::vector<std::uint8_t>& out, std::string& error);

// The first maxOutput bytes of a stream, for a reader that refuses larger output and
// wants to say why (a header in those bytes) without unpacking the rest. As
// LzwDecompress, except that a stream unpacking to more is not a fault: decoding
// stops there with exactly maxOutput bytes in `out` and `complete` false. Damage found
// before that point is still a fault.
[[nodiscard]] bool LzwDecompressPrefix(const std::uint8_t* data, std::size_t size, std::size_t maxOutput,
                                       std::vector<std::uint8_t>& out, bool& complete, std::string& error);
