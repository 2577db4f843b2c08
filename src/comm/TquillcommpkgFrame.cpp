#include "Tquillcommpkg.h"

namespace QuillComm {

long EncodeFrame(const uint8_t* data, long n, const FrameMarks& marks, bool doubleMark,
                 uint8_t* frame) {
    long length = 0;
    const int markCount = doubleMark ? 2 : 1;
    for (int i = 0; i < markCount; ++i) frame[length++] = marks.head;
    for (long i = 0; i < n; ++i) {
        const uint8_t byte = data[i];
        if (byte == marks.head || byte == marks.tail || byte == marks.ctrl)
            frame[length++] = marks.ctrl;
        frame[length++] = byte;
    }
    for (int i = 0; i < markCount; ++i) frame[length++] = marks.tail;
    return length;
}

void FrameDecoder::Reset() {
    inFrame_ = false;
    escape_ = false;
}

void FrameDecoder::Feed(const uint8_t* bytes, long n, const FrameMarks& marks,
                        PackageBuffer* receive, TCommPackageQueue* packages) {
    for (long i = 0; i < n; ++i) {
        const uint8_t c = bytes[i];
        if (!escape_ && c == marks.head) {
            // A head inside a frame starts it again; the second head of a pair lands here too.
            receive->SetLength(0);
            inFrame_ = true;
        } else if (inFrame_) {
            if (escape_) {
                receive->Append(c);
                escape_ = false;
            } else if (c == marks.ctrl) {
                escape_ = true;
            } else if (c == marks.tail) {
                packages->In(receive->Record());
                receive->SetLength(0);
                inFrame_ = false;
            } else {
                receive->Append(c);
            }
        } else {
            escape_ = !escape_ && c == marks.ctrl;
        }
    }
}

}  // namespace QuillComm
