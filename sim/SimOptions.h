#pragma once

// The simulator's command line.

#include <cstdint>
#include <string>
#include <vector>

enum class ScannerModel { Vyk10, Vyk05 };

struct SimOptions {
    std::string link;    // symbolic link made to the pseudo-terminal's slave
    std::string device;  // talk over this device instead of a pseudo-terminal
    ScannerModel model = ScannerModel::Vyk10;
    int packet = 4;          // measurement packet size: 3, 4 or 5 bytes
    int baud = 230400;       // without --baud, the rate the model's program presets
    bool fast = false;       // no pacing: as fast as the reader takes the bytes
    double duration = 0;     // seconds; 0 runs until killed
    std::string state;       // settings file that "#SU" writes and a start reads
    int group = 0;           // input group 0..3 (zone model)
    std::string boot;        // start in the boot loader, write the image here
    double corrupt = 0;      // probability per sent byte of one flipped bit
    double garbage = 0;      // probability per sent byte of a stray byte before it
    int dropTurns = 0;       // leave out every n-th revolution; 0 leaves out none
    int dropAck = 0;         // ignore every n-th zone command; 0 ignores none
    int slowAck = 0;         // answer every n-th zone command late, after its repeat
    int forgetPoint = 0;     // answer every n-th "#SPR" without storing it
    double stallAfter = 0;   // stop sending after this many seconds; 0 never
    double hangupAfter = 0;  // close the device after this many seconds; 0 never
    long imageHangup = 0;    // boot loader: close the device after this many image bytes
    long imageDeaf = 0;      // boot loader: stop reading after this many image bytes
    uint32_t seed = 1;
    std::string log;  // log of received command lines and sent replies
    std::string tee;  // a copy of every byte sent
    bool help = false;
    bool version = false;
};

// Fills options from argv; returns false with a message in error on bad input.
bool ParseOptions(int argc, const char* const* argv, SimOptions& options, std::string& error);

std::string HelpText();
// Every option name ParseOptions takes.
std::vector<std::string> OptionNames();
