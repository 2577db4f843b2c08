#pragma once

// The decode tool's reading of typed bytes and its line-by-line explanation of one 3- or
// 4-byte packet, built on the codec's own check and decode.

#include <QStringList>
#include <cstdint>
#include <vector>

namespace decodetool {

enum class TypedBytes {
    Ok,
    TooShort,  // the text cannot hold the bytes: the user is told how to type them
    Stopped,   // a byte is not two hexadecimal digits: nothing happens
};

// Byte i is the two characters at 3i and 3i + 1; what stands between bytes is never read.
TypedBytes ReadTypedBytes(const QString& text, int count, std::vector<uint8_t>& bytes);

// The message for a text that is too short.
QString TooShortMessage(int count);

// Every line of the explanation of a packet of 3 or 4 bytes.
QStringList ExplainPacket(const std::vector<uint8_t>& bytes);

// The reference listing of the check and decode functions.
QString ReferenceText();

}  // namespace decodetool
