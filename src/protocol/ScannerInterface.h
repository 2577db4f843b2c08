#pragma once

// Everything that crosses the serial line between the programs and a scanner.
// Code that talks to a scanner uses these names instead of literals.

#include <cstdint>

namespace scanner {

// Angles are in 1/16 degree; one turn is 5760 steps.
constexpr int kAnglesPerTurn = 5760;
constexpr int kMaxMeasurementAngle = kAnglesPerTurn - 1;

// Info codes carried in the angle field of 4- and 5-byte packets.
constexpr int kInfoFirst = 5760;
constexpr int kInfoFrequency = 5760;  // value v: rotation frequency 2000 / v Hz
constexpr int kInfoMarkFirst = 5761;  // 5761..5767: marks
constexpr int kInfoMarkLast = 5767;
constexpr int kInfoZeroDegree = 5768;     // start of a revolution; value: counter modulo 2048
constexpr int kInfoSeconds = 5769;        // value: seconds
constexpr int kInfoT1 = 5770;             // value: T1; zone tool: outputs' state and input group
constexpr int kInfoLateMarkFirst = 5771;  // 5771..5784: marks
constexpr int kInfoLast = 5784;
constexpr int kRevolutionCounterModulo = 2048;
constexpr int kFrequencyInfoScale = 2000;  // 5760 value v = kFrequencyInfoScale / Hz
constexpr int kOutputStateGroupShift = 6;  // 5770 value: outputs in bits 0..2, group above

// The angle field of a 3-byte packet, which carries no angle.
constexpr int kPacket3Angle = 7;

// Status lines "#CART" X Y ...: codes 224..255.
constexpr char kStatusLinePrefix[] = "#CART";
constexpr int kStatusCodeFirst = 224;
constexpr int kStatusCodeLast = 255;
constexpr int kStatusCodeF4 = 0xF4;  // the status line whose second and fourth numbers swap

// Default of the VykMax setting, the distance limit in cm.
constexpr int kDefaultDistanceLimit = 6000;
constexpr int kMaxRangeCm = 4000;

// Commands: ASCII lines beginning with '#', ended with CR LF.
constexpr char kCommandStart = '#';
constexpr char kLineEnd[] = "\r\n";

// Console commands, as the settings page builds them (sent upper-cased).
constexpr char kCmdReadSettings[] = "#RS";
constexpr char kCmdSaveSettings[] = "#su";
constexpr char kCmdSensorId[] = "#id\r\n";
constexpr char kCmdDistanceRange[] = "#D12 ";  // + max + " , " + min
constexpr char kCmdMotorFrequency[] = "#sf ";  // + 1..15
constexpr char kCmdModeBits[] = "#SMS ";       // + bits in decimal
constexpr char kCmdAngleRange[] = "#SAR ";     // + start + " , " + end
constexpr char kCmdForceOutput[] = "#PM 1 ";
constexpr char kCmdDefaultSend[] = "#st";
constexpr char kArgSeparator[] = " , ";

// Direct commands, written as formatted here.
constexpr char kCmdBaudRate[] = "#BR %d\r\n";
constexpr char kCmdSetFrequency[] = "#SF %d\r\n";
constexpr char kCmdMotorStop[] = "#SF 0\r\n";
constexpr char kCmdMotorFast[] = "#SF 1000\r\n";
constexpr char kCmdReadSettingsLine[] = "#RS\r\n";

// Zone tool commands.
constexpr char kCmdOutputLevels[] = "#IOL %d\r\n";
constexpr char kCmdZonePoint[] = "#SPR %u,%u\r\n";
constexpr char kCmdStore[] = "#SU\r\n";
constexpr char kAckSuffix[] = "ok";

// "#RS" reply lines.
constexpr char kReplyPrefix[] = "#RS";
constexpr char kReplyDistances[] = "#RSDIS,";  // min , max
constexpr char kReplyFrequency[] = "#RSADR,";  // 1..15
constexpr char kReplyModeBits[] = "#RSMS,";
constexpr char kReplyAngles[] = "#RSAR,";  // start , end
constexpr char kReplyZone[] = "#RSPR,";
constexpr char kReplyOutputLevels[] = "#RSOL,";

// Motor frequency menu: "1HZ".."15HZ".
constexpr int kMotorFrequencyMin = 1;
constexpr int kMotorFrequencyMax = 15;

// Boot loader: nine-byte messages "#BOOT" + two letters + CR LF.
constexpr char kBootPrefix[] = "#BOOT";
constexpr int kBootMessageSize = 9;
constexpr char kBootRequestInfo[] = "#BOOTIN\r\n";
constexpr char kBootStart[] = "#BOOTST\r\n";
constexpr char kBootProgramming[] = "#BOOTGO\r\n";
constexpr char kBootCheckError[] = "#BOOTER\r\n";
constexpr char kBootFinished[] = "#BOOTOK\r\n";
// The PC's file information reply: 0xAA "UBOOT" size(le32) crc(le32).
constexpr uint8_t kFileInfoHead = 0xAA;
constexpr char kFileInfoTag[] = "UBOOT";
constexpr int kFileInfoReplySize = 14;
constexpr int kUpgradeImageCapacity = 262144;
constexpr int kMaxFirmwareSize = 65536;  // largest image the boot loader takes

// Line settings: no parity, 8 data bits, 1 stop bit.
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
constexpr char kParity = 'n';
constexpr int kConsoleBaud = 230400;
constexpr int kZoneToolBaud = 115200;
constexpr int kUpgradeBaud = 115200;

}  // namespace scanner
