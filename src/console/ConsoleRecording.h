#pragma once

// The console's recording without its window: the checks before one starts (leftover segments
// offered for packing, no file of the first pass overwritten), the recorder the stream goes to,
// and the faults it meets, each to be shown in panel 7 and the first of a recording in a box.

#include <QString>
#include <cstdint>
#include <memory>

#include "Logfile.h"

class Prompt;

namespace console {

// What a fault of the recorder says to the user.
QString RecordingFaultText(const record::LogStatus& status);

class ConsoleRecording {
public:
    enum class Started { Yes, Exists, NoBuffer };

    ConsoleRecording(Prompt& prompt, int32_t segmentLimit);

    bool Active() const { return log_ != nullptr; }
    const record::TLogFile* Log() const { return log_.get(); }
    // The archive being written, or the one last started.
    const QString& Name() const { return name_; }

    // The name the user chose, as an archive. Exists: a file of its first pass is there (told).
    Started Start(const QString& chosen);
    // Stream bytes to the recorder; true when it met a fault not shown yet (FaultText).
    bool Write(const uint8_t* bytes, int count);
    // Packs the last segment and ends the recording; true when that pack failed.
    bool Stop();
    // The newest fault's text, and whether it is the first of the recording, told in a box.
    const QString& FaultText() const { return faultText_; }
    bool FirstFault();

    // Asks once whether segment files left beside the archive fileName are packed into it.
    void OfferLeftovers(const QString& fileName);

private:
    // Whether the recorder has a fault more than was shown; takes its text if so.
    bool TakeFault();

    Prompt& prompt_;
    int32_t segmentLimit_;
    std::unique_ptr<record::TLogFile> log_;
    QString name_;
    int shownFaults_ = 0;
    bool faultTold_ = false;
    QString faultText_;
};

}  // namespace console
