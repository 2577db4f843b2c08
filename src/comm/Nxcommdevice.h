#pragma once

// The comm device a window uses: one port, one package layer and their settings as properties,
// reading and writing routed to bytes or packages, and the port's notifications delivered on
// the thread the device lives on (the GUI thread) in the order they were raised.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "Tquillcomm.h"
#include "Tquillcommpkg.h"

class IniFile;

namespace QuillComm {

enum TBaudRate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};
enum TParity { ptNoParity, ptOddParity, ptEvenParity, ptMarkParity, ptSpaceParity };
enum TStopBits { sbOneStopBit, sbOne_5_StopBits, sbTwoStopBit };
enum TFlowControl { fcNone, fcRtsCts, fcXonXoff, fcTranXonXoff, fcRtsCtsXonXoff };

// The rate a TBaudRate stands for; 115200 for a value outside the enumeration.
long BaudRateValue(int baud);
// The TBaudRate of a rate; br115200 for a rate not in the list.
TBaudRate BaudRateOf(long rate);

// The frame marks of a package layer as one settings object.
class TNxCommFrameSettings {
public:
    explicit TNxCommFrameSettings(TCommPackage* package) : package_(package) {}

    uint8_t FrameHead() const { return package_->fGetFrameHead(); }
    void SetFrameHead(uint8_t mark) { package_->fSetFrameHead(mark); }
    uint8_t FrameTail() const { return package_->fGetFrameTail(); }
    void SetFrameTail(uint8_t mark) { package_->fSetFrameTail(mark); }
    uint8_t FrameCtrl() const { return package_->fGetFrameCtrl(); }
    void SetFrameCtrl(uint8_t mark) { package_->fSetFrameCtrl(mark); }
    bool DoubleFrameMark() const { return package_->fGetDblFrameMark(); }
    void SetDoubleFrameMark(bool on) { package_->fSetDblFrameMark(on); }

    // Copies the three marks, not DoubleFrameMark.
    void SetValues(const TNxCommFrameSettings& other);

private:
    TCommPackage* package_;
};

class TNxCustomCommDevice : public QObject {
    Q_OBJECT

public:
    using TCommNotifyEvent = std::function<void(TNxCustomCommDevice* sender, uint32_t events)>;
    using TNotifyEvent = std::function<void(TNxCustomCommDevice* sender)>;

    // Set while the device is closed: without SyncEvents the port's threads call them.

    TCommNotifyEvent OnCommNotify;
    TCommNotifyEvent OnPackage;
    TNotifyEvent AfterOpen;
    TNotifyEvent BeforeClose;

    explicit TNxCustomCommDevice(QObject* owner = nullptr);
    ~TNxCustomCommDevice() override;

    virtual int Read(void* buffer, int n);
    virtual int Write(const void* data, int n);
    virtual int Command(const char* text);
    virtual bool ReadPackage(void* buffer);
    virtual bool WritePackage(const void* data);
    virtual int ReadPackage(void* buffer, int n);
    virtual int WritePackage(const void* data, int n);
    virtual void PurgeRead(bool abort);
    virtual void PurgeWrite(bool abort);
    virtual int ResetModem();
    virtual int InitModem();
    virtual bool EscapeCommFunction(unsigned code);
    virtual void EvCommNotify(void* sender, uint32_t events);
    virtual void EvPackageNotify(void* sender, uint32_t events);
    virtual void EvAfterOpen(void* sender);
    virtual void EvBeforeClose(void* sender);

    bool fGetActive() const;
    // Opening lets EQuillCommError through.
    void fSetActive(bool on);
    bool UsePackage() const { return usePackage_; }
    void fSetUsePackage(bool on);
    bool SyncEvents() const { return syncEvents_; }
    void SetSyncEvents(bool on) { syncEvents_ = on; }

    int PortNo() const { return comm_->fGetPort(); }
    void SetPortNo(int n) { comm_->fSetPort(n); }
    QString PortName() const { return comm_->fGetPortName(); }
    void SetPortName(const QString& name) { comm_->fSetPortName(name); }
    TBaudRate Baud() const { return BaudRateOf(comm_->fGetBaud()); }
    void SetBaud(int baud) { comm_->fSetBaud(BaudRateValue(baud)); }
    TParity Parity() const;
    // Values outside the enumeration count as ptNoParity.
    void SetParity(int parity);
    int ByteSize() const { return comm_->fGetByteSize(); }
    void SetByteSize(int size);
    TStopBits StopBits() const;
    // Values outside the enumeration count as sbOneStopBit.
    void SetStopBits(int stopBits);
    TFlowControl FlowControl() const;
    void SetFlowControl(int flow);
    int AutoAnswer() const { return comm_->fGetAAns(); }
    void SetAutoAnswer(int rings);
    bool DataOnly() const { return comm_->fGetDataOnly(); }
    void SetDataOnly(bool on) { comm_->fSetDataOnly(on); }
    // Refused (false) while the port is open.
    long InBufSize() const { return comm_->fGetInBufSize(); }
    bool SetInBufSize(long n) { return comm_->fSetInBufSize(n); }
    long OutBufSize() const { return comm_->fGetOutBufSize(); }
    bool SetOutBufSize(long n) { return comm_->fSetOutBufSize(n); }
    long HwInSize() const { return comm_->fGetHwInSize(); }
    void SetHwInSize(long n) { comm_->fSetHwInSize(n); }
    long HwOutSize() const { return comm_->fGetHwOutSize(); }
    void SetHwOutSize(long n) { comm_->fSetHwOutSize(n); }
    long QueueSize() const { return package_->fGetQSize(); }
    void SetQueueSize(long n) { package_->fSetQSize(n); }
    long PackageSize() const { return package_->fGetPkgSz(); }
    void SetPackageSize(long n) { package_->fSetPkgSz(n); }
    TCommPackageType PackageType() const { return package_->fGetPkgType(); }
    void SetPackageType(TCommPackageType type) { package_->fSetPkgType(type); }
    long PackageInterval() const { return package_->fGetPkgInterval(); }
    void SetPackageInterval(long ms) { package_->fSetPkgInterval(ms); }
    TNxCommFrameSettings* FrameSettings() const { return frameSettings_.get(); }
    void fSetFrameSettings(const TNxCommFrameSettings& settings);

    int fGetHandle() const { return comm_->fGetHandle(); }
    TCommQueue* fGetInQueue() const { return comm_->InQueue(); }
    TCommQueue* fGetOutQueue() const { return comm_->OutQueue(); }
    // Bit 0 CTS, bit 1 DSR, bit 2 ring, bit 3 RLSD.
    uint32_t fGetModemStatus() const { return comm_->fGetModemStatus() >> 4 & 0x0F; }
    bool fGetDisableWrite() const { return comm_->fGetDisableWrite(); }
    void fSetDisableWrite(bool on) { comm_->fSetDisableWrite(on); }
    bool fGetDTR() const { return comm_->fGetDTR(); }
    void fSetDTR(bool on) { comm_->fSetDTR(on); }
    bool fGetRTS() const { return comm_->fGetRTS(); }
    void fSetRTS(bool on) { comm_->fSetRTS(on); }
    bool fGetCTS() const { return comm_->fGetCTS(); }
    bool fGetDSR() const { return comm_->fGetDSR(); }
    bool fGetRING() const { return comm_->fGetRING(); }
    bool fGetRLSD() const { return comm_->fGetRLSD(); }

    // Where COM numbers lead (the programs' [Ports] section); may be null, not owned.
    void SetDeviceMap(const IniFile* ini) {
        deviceMap_ = ini;
        comm_->SetDeviceMap(ini);
    }
    const IniFile* DeviceMap() const { return deviceMap_; }
    TQuillComm* Comm() const { return comm_.get(); }
    TCommPackage* Package() const { return package_.get(); }

private:
    void _EvComm(TQuillComm* sender, uint32_t events);
    void _EvPackage(TCommPackage* sender, uint32_t events);
    // Runs call on the device's thread after everything posted before it. The calls wait in a
    // queue of our own under a lock, so the hand-over between threads is visible to tools that
    // cannot see into Qt's event queue.
    void Post(std::function<void()> call);
    Q_INVOKABLE void RunPosted();

    std::unique_ptr<TQuillComm> comm_;
    std::unique_ptr<TCommPackage> package_;
    std::unique_ptr<TNxCommFrameSettings> frameSettings_;
    bool usePackage_ = false;
    std::atomic<bool> syncEvents_{true};
    // Set while the device is destroyed: the threads' last notifications are dropped.
    std::atomic<bool> dying_{false};
    const IniFile* deviceMap_ = nullptr;
    std::mutex postedLock_;
    std::deque<std::function<void()>> posted_;
};

class TNxCommDevice : public TNxCustomCommDevice {
    Q_OBJECT

public:
    explicit TNxCommDevice(QObject* owner = nullptr) : TNxCustomCommDevice(owner) {}
};

}  // namespace QuillComm
