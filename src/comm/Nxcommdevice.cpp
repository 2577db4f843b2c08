#include "Nxcommdevice.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <iterator>

namespace QuillComm {

namespace {

constexpr long kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                           19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr int kRateCount = static_cast<int>(std::size(kRates));

// Port flow-control codes of the TFlowControl values.
constexpr int kFlowCodes[] = {TQuillComm::fcNone, TQuillComm::fcRtsCts, TQuillComm::fcXonXoff,
                              TQuillComm::fcTranXonXoff, TQuillComm::fcBoth};

int InRange(int value, int last) {
    return value >= 0 && value <= last ? value : 0;
}

}  // namespace

long BaudRateValue(int baud) {
    return baud >= 0 && baud < kRateCount ? kRates[baud] : 115200;
}

TBaudRate BaudRateOf(long rate) {
    const long* found = std::find(std::begin(kRates), std::end(kRates), rate);
    return found == std::end(kRates) ? br115200
                                     : static_cast<TBaudRate>(found - std::begin(kRates));
}

void TNxCommFrameSettings::SetValues(const TNxCommFrameSettings& other) {
    SetFrameHead(other.FrameHead());
    SetFrameTail(other.FrameTail());
    SetFrameCtrl(other.FrameCtrl());
}

TNxCustomCommDevice::TNxCustomCommDevice(QObject* owner)
    : QObject(owner), comm_(std::make_unique<TQuillComm>()) {
    comm_->OnCommNotify = [this](TQuillComm* sender, uint32_t events) { _EvComm(sender, events); };
    comm_->AfterOpen = [this](TQuillComm* sender) { EvAfterOpen(sender); };
    comm_->BeforeClose = [this](TQuillComm* sender) { EvBeforeClose(sender); };
    package_ = std::make_unique<TCommPackage>(comm_.get());
    package_->OnPackage = [this](TCommPackage* sender, uint32_t events) {
        _EvPackage(sender, events);
    };
    frameSettings_ = std::make_unique<TNxCommFrameSettings>(package_.get());
}

TNxCustomCommDevice::~TNxCustomCommDevice() {
    // The threads read the callbacks, so they stay in place but do nothing until the port is
    // closed; only then are they taken away.
    dying_ = true;
    package_->fSetActive(false);
    comm_->AfterOpen = nullptr;
    comm_->BeforeClose = nullptr;
    try {
        comm_->Close();
    } catch (const EQuillCommError&) {
    }
    comm_->OnCommNotify = nullptr;
    frameSettings_.reset();
    package_.reset();
    comm_.reset();
}

void TNxCustomCommDevice::Post(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> lock(postedLock_);
        posted_.push_back(std::move(call));
    }
    QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection);
}

void TNxCustomCommDevice::RunPosted() {
    // One call at a time: a handler may delete the device, and what waits behind it goes too.
    const QPointer<TNxCustomCommDevice> alive(this);
    while (alive) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(postedLock_);
            if (posted_.empty())
                return;
            call = std::move(posted_.front());
            posted_.pop_front();
        }
        call();
    }
}

void TNxCustomCommDevice::_EvComm(TQuillComm* sender, uint32_t events) {
    if (dying_)
        return;
    if (syncEvents_)
        Post([this, sender, events] { EvCommNotify(sender, events); });
    else
        EvCommNotify(sender, events);
}

void TNxCustomCommDevice::_EvPackage(TCommPackage* sender, uint32_t events) {
    if (dying_)
        return;
    if (syncEvents_)
        Post([this, sender, events] { EvPackageNotify(sender, events); });
    else
        EvPackageNotify(sender, events);
}

void TNxCustomCommDevice::EvCommNotify(void*, uint32_t events) {
    if (OnCommNotify)
        OnCommNotify(this, events);
}

void TNxCustomCommDevice::EvPackageNotify(void*, uint32_t events) {
    if (OnPackage)
        OnPackage(this, events);
}

void TNxCustomCommDevice::EvAfterOpen(void*) {
    if (AfterOpen)
        AfterOpen(this);
}

void TNxCustomCommDevice::EvBeforeClose(void*) {
    if (BeforeClose)
        BeforeClose(this);
}

bool TNxCustomCommDevice::fGetActive() const {
    return comm_->fGetActive() && (!usePackage_ || package_->fGetActive());
}

void TNxCustomCommDevice::fSetActive(bool on) {
    // Packages end before the port closes: a close that throws must not leave them running
    // into the next open with the old port's packages.
    if (!on && package_->fGetActive())
        package_->fSetActive(false);
    if (comm_->fGetActive() != on)
        comm_->fSetActive(on);
    const bool packaging = on && usePackage_;
    if (package_->fGetActive() != packaging)
        package_->fSetActive(packaging);
}

void TNxCustomCommDevice::fSetUsePackage(bool on) {
    const bool active = fGetActive();
    usePackage_ = on;
    fSetActive(active);
}

TParity TNxCustomCommDevice::Parity() const {
    return static_cast<TParity>(InRange(comm_->fGetParity(), ptSpaceParity));
}

TStopBits TNxCustomCommDevice::StopBits() const {
    return static_cast<TStopBits>(InRange(comm_->fGetStopBits(), sbTwoStopBit));
}

void TNxCustomCommDevice::SetParity(int parity) {
    comm_->fSetParity(InRange(parity, ptSpaceParity));
}

void TNxCustomCommDevice::SetStopBits(int stopBits) {
    comm_->fSetStopBits(InRange(stopBits, sbTwoStopBit));
}

void TNxCustomCommDevice::SetByteSize(int size) {
    comm_->fSetByteSize(std::clamp(size, 0, 255));
}

TFlowControl TNxCustomCommDevice::FlowControl() const {
    switch (comm_->fGetFCtrl()) {
        case TQuillComm::fcRtsCts:
            return fcRtsCts;
        case TQuillComm::fcXonXoff:
            return fcXonXoff;
        case TQuillComm::fcBoth:
            return fcRtsCtsXonXoff;
        default:
            return fcNone;
    }
}

void TNxCustomCommDevice::SetFlowControl(int flow) {
    comm_->fSetFCtrl(kFlowCodes[InRange(flow, fcRtsCtsXonXoff)]);
}

void TNxCustomCommDevice::SetAutoAnswer(int rings) {
    comm_->fSetAAns(std::clamp(rings, 0, 255));
}

void TNxCustomCommDevice::fSetFrameSettings(const TNxCommFrameSettings& settings) {
    frameSettings_->SetValues(settings);
}

int TNxCustomCommDevice::Read(void* buffer, int n) {
    return usePackage_ ? package_->ReadPackage(buffer, n) : comm_->Read(buffer, n);
}

int TNxCustomCommDevice::Write(const void* data, int n) {
    return usePackage_ ? package_->WritePackage(data, n) : comm_->Write(data, n);
}

int TNxCustomCommDevice::Command(const char* text) {
    return comm_->Command(text);
}

bool TNxCustomCommDevice::ReadPackage(void* buffer) {
    return package_->ReadPackage(buffer, 0) != 0;
}

bool TNxCustomCommDevice::WritePackage(const void* data) {
    return package_->WritePackage(data, 0) != 0;
}

int TNxCustomCommDevice::ReadPackage(void* buffer, int n) {
    return package_->ReadPackage(buffer, n);
}

int TNxCustomCommDevice::WritePackage(const void* data, int n) {
    return package_->WritePackage(data, n);
}

void TNxCustomCommDevice::PurgeRead(bool abort) {
    if (usePackage_)
        package_->PurgeRead();
    else
        comm_->PurgeRead(abort);
}

void TNxCustomCommDevice::PurgeWrite(bool abort) {
    if (usePackage_)
        package_->PurgeWrite();
    else
        comm_->PurgeWrite(abort);
}

int TNxCustomCommDevice::ResetModem() {
    return comm_->ResetModem();
}

int TNxCustomCommDevice::InitModem() {
    return comm_->InitModem();
}

bool TNxCustomCommDevice::EscapeCommFunction(unsigned code) {
    return comm_->EscapeCommFunction(code);
}

}  // namespace QuillComm
