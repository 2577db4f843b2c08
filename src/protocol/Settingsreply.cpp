#include "Settingsreply.h"

#include <cstring>

#include "ScannerInterface.h"
#include "Textfields.h"

SettingsReply ParseSettingsReply(const char* line, int length) {
    static const struct {
        const char* prefix;
        ReplyKind kind;
    } kinds[] = {
        {scanner::kReplyDistances, ReplyKind::Distances},
        {scanner::kReplyFrequency, ReplyKind::Frequency},
        {scanner::kReplyModeBits, ReplyKind::ModeBits},
        {scanner::kReplyAngles, ReplyKind::Angles},
        {scanner::kReplyZone, ReplyKind::ZoneReport},
        {scanner::kReplyOutputLevels, ReplyKind::OutputLevels},
    };
    SettingsReply reply;
    for (const auto& k : kinds) {
        const int prefixLength = static_cast<int>(std::strlen(k.prefix));
        if (length < prefixLength || std::memcmp(line, k.prefix, prefixLength) != 0)
            continue;
        reply.kind = k.kind;
        TextFieldReader reader(reinterpret_cast<const uint8_t*>(line), length, prefixLength);
        for (int i = 0; i < SettingsReply::kFields; ++i) {
            if (i > 0)
                reader.SkipPastComma();
            reply.numbers[i] = reader.ReadDecimal();
        }
        break;
    }
    return reply;
}
