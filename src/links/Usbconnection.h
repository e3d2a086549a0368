#pragma once
// The link to a receiver on USB: one bulk IN pipe read by a worker into the link's own buffer,
// one bulk OUT pipe written synchronously. Also the list of attached receivers.
#include "links/Usbio.h"
#include "links/Usbreader.h"
#include "protocol/Link.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace telvor {

class CUSBConnection : public TReceiverConnection {
public:
    static constexpr int kInputSize = 32768;
    static constexpr int kWriteTimeoutMs = 1000;

    // `portName` is "USB", a blank and the device name ("USB" alone: the first receiver);
    // `vendors` are the maker's vendor ids. `resume` starts the input thread once open.
    CUSBConnection(const std::string& portName, bool resume, std::vector<std::uint16_t> vendors);
    ~CUSBConnection() override;

    int Read(std::uint8_t* buffer, int count) override;
    int Write(const std::uint8_t* bytes, int count) override;
    void WaitEvent(std::uint32_t& word) override;
    // A mask without the data bit announces a reset: the device is about to vanish, and
    // that is no loss of the link.
    bool SetEventMask(std::uint32_t mask) override;
    void Cancel() override {}
    bool Purge() override { return true; }
    // False once the receiver was pulled out or its reader gave up.
    bool IsConnected() const override { return !lost_.load(); }

    const std::string& DeviceName() const { return deviceName_; }
    bool ReaderRunning() const { return reader_ && reader_->Running(); }
    int Buffered() const { return UsbInput.Fill(); }

private:
    bool Open(const std::string& name);
    bool Configure();
    void OnRead(const std::uint8_t* bytes, int count, std::uint32_t status, bool stopping);
    void MarkLost(const std::string& text);

    std::vector<std::uint16_t> vendors_;
    std::string deviceName_;
    std::unique_ptr<CUsbIo> io_;
    std::unique_ptr<CMyReader> reader_;
    TUsbEndpoints endpoints_;
    TSharedBuffer UsbInput{kInputSize};
    bool ownsProgramSlot_ = false;
    int lockFd_ = -1;
    std::string lockPath_;

    std::atomic<bool> lost_{false};
    std::atomic<bool> lossReported_{false};
    std::atomic<bool> resetExpected_{false};
    std::mutex lostLock_;
    std::string lostText_;
};

// Adds the name of every attached receiver (serial number, or "Rcv_<n>" counted over the
// receivers in enumeration order) and returns how many there are.
int ListUsbReceivers(std::vector<std::string>& names, const std::vector<std::uint16_t>& vendors);

// The lock file that tells other programs a receiver is in use: in $XDG_RUNTIME_DIR (or
// /tmp), named after the port name.
std::string UsbLockPath(const std::string& portName);

// The help shown when this user may not open a receiver: names the udev rule.
std::string UsbAccessHint(const TUsbDeviceInfo& device);

} // namespace telvor
