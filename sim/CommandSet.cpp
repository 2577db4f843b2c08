#include "CommandSet.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>

#include "ScannerInterface.h"

std::vector<TLineAssembler::Line> TLineAssembler::Feed(const char* bytes, size_t count) {
    std::vector<Line> lines;
    for (size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (overflow_) {
                lines.push_back({std::move(pending_), true});
            } else if (!pending_.empty()) {
                lines.push_back({std::move(pending_), false});
            }
            pending_.clear();
            overflow_ = false;
        } else if (pending_.size() < kMaxLine) {
            pending_ += c;
        } else {
            overflow_ = true;
        }
    }
    return lines;
}

namespace {

// The command word of one of the programs' command texts: "#sf " gives "#SF".
std::string CommandName(const char* text) {
    std::string name;
    for (; *text != '\0' && *text != ' ' && *text != '\r'; ++text) {
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
    }
    return name;
}

std::string Format(const char* format, long a, long b = 0, long c = 0, long d = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool InRange(int64_t value, int64_t min, int64_t max) {
    return value >= min && value <= max;
}

uint32_t PointWord(int x, int y) {
    return (static_cast<uint32_t>(y) & 0xFFFF) << 16 | (static_cast<uint32_t>(x) & 0xFFFF);
}

int16_t Half(uint32_t word, int shift) {
    return static_cast<int16_t>((word >> shift) & 0xFFFF);
}

}  // namespace

struct TCommandSet::Parsed {
    std::string name;
    std::vector<int64_t> args;
    bool wellFormed = true;
};

TCommandSet::TCommandSet(ScannerModel model, ScannerState& state, std::string statePath,
                         ZoneFaults faults)
    : model_(model),
      state_(state),
      statePath_(std::move(statePath)),
      faults_(faults),
      motor_((state.modeBits & 1) != 0) {}

std::vector<std::string> TCommandSet::Execute(const std::string& line) {
    fate_ = Fate::Handled;
    const auto hash = line.find(scanner::kCommandStart);
    if (hash == std::string::npos)
        return {};
    Parsed command;
    size_t pos = hash;
    command.name += line[pos++];
    while (pos < line.size() && std::isalnum(static_cast<unsigned char>(line[pos]))) {
        command.name += static_cast<char>(std::toupper(static_cast<unsigned char>(line[pos++])));
    }
    // Arguments: integers separated by commas, with blanks around them.
    if (pos < line.size() && line[pos] != ' ')
        command.wellFormed = false;
    const std::string rest = line.substr(pos);
    if (command.wellFormed && rest.find_first_not_of(' ') != std::string::npos) {
        size_t start = 0;
        while (command.wellFormed) {
            const size_t comma = rest.find(',', start);
            const std::string field = Trimmed(rest.substr(start, comma - start));
            const size_t digits = field.size() - (field[0] == '-' ? 1 : 0);
            if (field.empty() || digits == 0 || digits > 10 ||
                field.find_first_not_of("0123456789", field[0] == '-' ? 1 : 0) !=
                    std::string::npos) {
                command.wellFormed = false;
            } else {
                command.args.push_back(std::stoll(field));
            }
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    return Dispatch(command);
}

std::vector<std::string> TCommandSet::SettingsReport() const {
    std::vector<std::string> lines = {
        std::string(scanner::kReplyDistances) +
            Format("%ld,%ld", state_.minDistance, state_.maxDistance),
        std::string(scanner::kReplyFrequency) + Format("%ld", state_.frequency),
        std::string(scanner::kReplyModeBits) + Format("%ld", state_.modeBits),
        std::string(scanner::kReplyAngles) + Format("%ld,%ld", state_.angleStart, state_.angleEnd),
    };
    if (model_ == ScannerModel::Vyk05)
        ZoneReport(lines);
    return lines;
}

void TCommandSet::ZoneReport(std::vector<std::string>& lines) const {
    const std::string prefix = scanner::kReplyZone;
    for (int z = 0; z < ScannerState::kZoneCount; ++z) {
        const SimZone& zone = state_.zones[z];
        if (zone.count == 2) {
            lines.push_back(prefix + Format("%ld,2,%ld,%lu", z, zone.sensitivity,
                                            PointWord(zone.x[0], zone.y[0])));
        } else if (zone.count >= 3 && zone.count <= 5) {
            for (int m = 0; m < zone.count; ++m) {
                lines.push_back(prefix + Format("%ld,%ld,%ld,%lu", z, zone.count,
                                                m * 256 + zone.sensitivity,
                                                PointWord(zone.x[m], zone.y[m])));
            }
        } else {
            lines.push_back(prefix + Format("%ld,0,0,0", z));
        }
    }
    lines.push_back(std::string(scanner::kReplyOutputLevels) +
                    Format("%ld,%ld", ScannerState::kZoneCount, state_.ioLevel));
}

std::vector<std::string> TCommandSet::Dispatch(const Parsed& command) {
    using Args = std::vector<int64_t>;
    using Handler = std::function<bool(const Args&)>;  // false: out of range, nothing changed
    struct Entry {
        std::string name;
        size_t arity;
        bool zoneModel;  // only the zone model knows it; its replies can be dropped
        Handler handler;
    };
    const std::vector<Entry> table = {
        {CommandName(scanner::kCmdReadSettings), 0, false, [](const Args&) { return true; }},
        {CommandName(scanner::kCmdDistanceRange), 2, false,
         [this](const Args& a) {
             // Sent farthest first.
             if (!InRange(a[0], 1, 4000) || !InRange(a[1], 1, 4000) || a[1] > a[0])
                 return false;
             state_.maxDistance = static_cast<int>(a[0]);
             state_.minDistance = static_cast<int>(a[1]);
             return true;
         }},
        {CommandName(scanner::kCmdMotorFrequency), 1, false,
         [this](const Args& a) {
             constexpr int kMotorStart = 1000;
             if (a[0] == 0) {
                 motor_ = false;
             } else if (a[0] == kMotorStart) {
                 motor_ = true;
             } else if (InRange(a[0], scanner::kMotorFrequencyMin, scanner::kMotorFrequencyMax)) {
                 state_.frequency = static_cast<int>(a[0]);
                 motor_ = true;
             } else {
                 return false;
             }
             return true;
         }},
        {CommandName(scanner::kCmdModeBits), 1, false,
         [this](const Args& a) {
             if (!InRange(a[0], 0, 63))
                 return false;
             state_.modeBits = static_cast<int>(a[0]);
             return true;
         }},
        {CommandName(scanner::kCmdAngleRange), 2, false,
         [this](const Args& a) {
             if (!InRange(a[0], 0, 360) || !InRange(a[1], 0, 360))
                 return false;
             state_.angleStart = static_cast<int>(a[0]);
             state_.angleEnd = static_cast<int>(a[1]);
             return true;
         }},
        {CommandName(scanner::kCmdBaudRate), 1, false,
         [this](const Args& a) {
             for (int rate : {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600}) {
                 if (a[0] == rate) {
                     state_.baud = rate;
                     return true;
                 }
             }
             return false;
         }},
        {CommandName(scanner::kCmdSensorId), 0, false, [](const Args&) { return true; }},
        {CommandName(scanner::kCmdDefaultSend), 0, false, [](const Args&) { return true; }},
        {CommandName(scanner::kCmdForceOutput), 1, false,
         [this](const Args& a) {
             if (!InRange(a[0], 0, 1))
                 return false;
             output_ = a[0] == 1;
             return true;
         }},
        {CommandName(scanner::kCmdStore), 0, model_ == ScannerModel::Vyk05,
         [this](const Args&) { return statePath_.empty() || SaveState(statePath_, state_); }},
        {CommandName(scanner::kCmdOutputLevels), 1, true,
         [this](const Args& a) {
             // Only the low twelve bits are used; a zone tool may send the rest as it stored it.
             state_.ioLevel = static_cast<int>(a[0] & ScannerState::kLevelMask);
             return true;
         }},
        {CommandName(scanner::kCmdZonePoint), 2, true,
         [this](const Args& a) {
             if (!InRange(a[0], 0, 0xFFFFF) || !InRange(a[1], 0, UINT32_MAX))
                 return false;
             const int count = a[0] & 15, point = (a[0] >> 4) & 15, z = (a[0] >> 8) & 15;
             const int sensitivity = (a[0] >> 12) & 255;
             const uint32_t word = static_cast<uint32_t>(a[1]);
             if (z >= ScannerState::kZoneCount || count == 1 || count > 5)
                 return false;
             SimZone& zone = state_.zones[z];
             if (count == 0) {
                 zone = SimZone{};
                 return true;
             }
             if (count == 2) {
                 zone = SimZone{};
                 zone.count = 2;
                 zone.sensitivity = static_cast<uint8_t>(sensitivity);
                 zone.x[0] = word & 0xFFFF;
                 zone.y[0] = word >> 16;
                 return true;
             }
             if (point >= count)
                 return false;
             // Point 0 opens a new polygon; the later points fill it in.
             if (point == 0)
                 zone = SimZone{};
             zone.count = static_cast<uint8_t>(count);
             zone.sensitivity = static_cast<uint8_t>(sensitivity);
             zone.x[point] = Half(word, 0);
             zone.y[point] = Half(word, 16);
             return true;
         }},
    };

    for (const Entry& entry : table) {
        if (entry.name != command.name)
            continue;
        if (entry.zoneModel && model_ != ScannerModel::Vyk05)
            break;
        const auto nth = [](int n, int counter) { return n > 0 && counter % n == 0; };
        if (entry.zoneModel) {
            ++zoneCommands_;
            if (nth(faults_.dropAck, zoneCommands_)) {
                fate_ = Fate::Dropped;
                return {};
            }
            if (nth(faults_.slowAck, zoneCommands_))
                fate_ = Fate::Late;
        }
        if (!command.wellFormed || command.args.size() != entry.arity) {
            return {kErrorPrefix + entry.name.substr(1) + " bad arguments"};
        }
        if (entry.name == CommandName(scanner::kCmdZonePoint) &&
            nth(faults_.forgetPoint, ++zonePoints_)) {
            fate_ = Fate::NotStored;
            return {entry.name + " " + scanner::kAckSuffix};
        }
        if (!entry.handler(command.args)) {
            return {kErrorPrefix + entry.name.substr(1) + " refused"};
        }
        if (entry.name == CommandName(scanner::kCmdReadSettings))
            return SettingsReport();
        if (entry.name == CommandName(scanner::kCmdSensorId)) {
            return {model_ == ScannerModel::Vyk05 ? "#ID,VYK-05 SIM 0001" : "#ID,VYK-10 SIM 0001"};
        }
        if (entry.name == CommandName(scanner::kCmdDefaultSend)) {
            return {Format("#ST,%ldHZ,", state_.frequency) + (motor_ ? "MOTOR ON" : "MOTOR OFF") +
                    (output_ ? ",OUTPUT ON" : ",OUTPUT OFF")};
        }
        return {entry.name + " " + scanner::kAckSuffix};
    }
    return {std::string(kErrorPrefix) + "unknown command " + command.name};
}
