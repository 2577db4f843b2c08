// The head/tail frame decoder on any bytes, fed in pieces: every package it yields fits the
// receive buffer, and any data framed by the encoder comes back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Tquillcommpkg.h"

using namespace QuillComm;

namespace {

constexpr FrameMarks kMarks = {TCommPackage::DefaultFrameHead, TCommPackage::DefaultFrameTail,
                               TCommPackage::DefaultFrameCtrl};

struct Decoded {
    std::vector<std::vector<uint8_t>> packages;
};

// Decodes bytes in pieces of pieceSize; returns the packages in order.
Decoded Decode(const uint8_t* bytes, size_t size, long packageSize, size_t pieceSize) {
    TCommPackageQueue queue(64, packageSize + kPackageHeadSize);
    PackageBuffer receive;
    PackageBuffer element;
    if (!receive.Allocate(packageSize, queue.fGetPkgSz()) ||
        !element.Allocate(packageSize, queue.fGetPkgSz()))
        __builtin_trap();
    FrameDecoder decoder;
    Decoded decoded;
    for (size_t at = 0; at < size; at += pieceSize) {
        const size_t piece = size - at < pieceSize ? size - at : pieceSize;
        decoder.Feed(bytes + at, static_cast<long>(piece), kMarks, &receive, &queue);
        while (queue.Out(element.Record())) {
            if (element.Length() > static_cast<uint32_t>(packageSize))
                __builtin_trap();
            decoded.packages.emplace_back(element.Data(), element.Data() + element.Length());
        }
    }
    return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const long packageSize = 1 + data[0] % 64;
    const size_t pieceSize = 1 + data[1] % 16;
    data += 2;
    size -= 2;
    Decode(data, size, packageSize, pieceSize);

    const long n = static_cast<long>(size) < packageSize ? static_cast<long>(size) : packageSize;
    std::vector<uint8_t> frame(2 * n + 4);
    for (bool doubleMark : {false, true}) {
        const long length = EncodeFrame(data, n, kMarks, doubleMark, frame.data());
        const Decoded back = Decode(frame.data(), length, packageSize, pieceSize);
        if (back.packages.size() != 1 || back.packages[0].size() != static_cast<size_t>(n) ||
            (n > 0 && std::memcmp(back.packages[0].data(), data, n) != 0))
            __builtin_trap();
    }
    return 0;
}
