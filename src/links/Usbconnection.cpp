#include "links/Usbconnection.h"

#include "protocol/Debugcore.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"
#include "protocol/Tracer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace telvor {
namespace {

// One USB link per program.
std::atomic<bool> gUsbInUse{false};

constexpr int kConfigDescriptorSize = 256;
constexpr std::size_t kMaxSerial = 126; // what a 255-byte string descriptor holds

struct TFoundReceiver {
    TUsbDeviceInfo info;
    std::string name;
};

// The attached receivers with their names; false when the device list could not be built.
bool findReceivers(const std::vector<std::uint16_t>& vendors, std::vector<TFoundReceiver>& found,
                   bool traceEach) {
    TUsbBackend& backend = usbBackend();
    std::vector<TUsbDeviceInfo> devices;
    if (backend.Enumerate(devices) != kUsbOk) {
        trace("CreateDeviceList failed\r\n");
        return false;
    }
    unsigned number = 0;
    for (const TUsbDeviceInfo& d : devices) {
        if (!IsUsbReceiver(d, vendors))
            continue;
        ++number;
        if (traceEach)
            trace("USB Device %u: VendorID: 0x%04X  ProductID 0x%04X\r\n", number - 1,
                  unsigned(d.vendorId), unsigned(d.productId));
        std::string name = backend.SerialNumber(d);
        if (name.empty() || name.size() > kMaxSerial * 3) {
            char text[32];
            std::snprintf(text, sizeof text, "Rcv_%u", number);
            name = text;
        }
        found.push_back({d, std::move(name)});
    }
    return true;
}

void postStatus(std::uint32_t status) {
    char text[160];
    std::snprintf(text, sizeof text, "Error code 0x%08X: %s", unsigned(status),
                  UsbStatusText(status));
    debugCore().postError(text);
}

std::string hex4(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", v & 0xFFFF);
    return text;
}

} // namespace

std::string UsbLockPath(const std::string& portName) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = runtime && *runtime ? runtime : "/tmp";
    // Any byte of a serial number may stand in a file name once it is escaped.
    std::string name = "telvor-";
    for (unsigned char c : portName) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.')
            name += char(c);
        else {
            char esc[4];
            std::snprintf(esc, sizeof esc, "%%%02X", unsigned(c));
            name += esc;
        }
    }
    return dir + "/" + name + ".lock";
}

std::string UsbAccessHint(const TUsbDeviceInfo& device) {
    return "No access to the USB receiver " + hex4(device.vendorId) + ":" + hex4(device.productId) +
           ". Install the udev rule 70-telvor.rules (cmake --install) with this vendor id, "
           "then plug the receiver in again.";
}

int ListUsbReceivers(std::vector<std::string>& names, const std::vector<std::uint16_t>& vendors) {
    // Without the maker's ids nothing can be a receiver: no need to ask the system.
    if (vendors.empty())
        return 0;
    std::vector<TFoundReceiver> found;
    if (!findReceivers(vendors, found, true))
        return 0;
    if (found.empty())
        trace("There are no USB devices attached to the driver.\r\n");
    for (auto& f : found)
        names.push_back(f.name);
    return int(found.size());
}

CUSBConnection::CUSBConnection(const std::string& portName, bool resume,
                               std::vector<std::uint16_t> vendors)
    : TReceiverConnection(kLinkUsb), vendors_(std::move(vendors)) {
    if (portName.empty() || !ErrorText().empty())
        return;
    if (gUsbInUse.exchange(true)) {
        SetErrorText("Only one USB Connection available");
        return;
    }
    ownsProgramSlot_ = true;

    lockPath_ = UsbLockPath(portName);
    lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) < 0) {
        ::close(lockFd_);
        lockFd_ = -1;
        if (errno == EWOULDBLOCK) {
            SetErrorText("Receiver USB connection is busy");
            return;
        }
    }
    // Without a place for the lock file the claimed interface still keeps others out.

    const std::string name = portName.size() > 4 ? portName.substr(4) : std::string();
    if (!Open(name))
        return;
    if (resume)
        ResumeThread();
}

CUSBConnection::~CUSBConnection() {
    StopThread();
    if (reader_)
        reader_->Stop();
    reader_.reset();
    if (io_) {
        io_.reset();
        trace("Device closed.\r\n");
    }
    if (ownsProgramSlot_) {
        trace("Destroy USB Port\n");
        if (lockFd_ >= 0) {
            // Unlinked while still held, so that a waiting program cannot lock a stale file.
            ::unlink(lockPath_.c_str());
            ::close(lockFd_);
        }
        gUsbInUse.store(false);
    }
}

bool CUSBConnection::Open(const std::string& name) {
    std::vector<TFoundReceiver> found;
    findReceivers(vendors_, found, false);
    const TFoundReceiver* match = nullptr;
    for (const auto& f : found)
        if (name.empty() ? true : f.name == name) {
            match = &f;
            break;
        }
    if (!match) {
        trace("There are no USB devices attached to the USBIO driver.\r\n");
        SetErrorText("Can not open device");
        return false;
    }
    deviceName_ = match->name;
    std::uint32_t status = kUsbOk;
    io_ = usbBackend().Open(match->info, status);
    if (!io_) {
        postStatus(status);
        std::string text = "Can not open device";
        if (status == kUsbAccessDenied)
            text += "\n" + UsbAccessHint(match->info);
        else if (status == kUsbBusy)
            text = "Receiver USB connection is busy";
        SetErrorText(text);
        return false;
    }
    if (!Configure()) {
        reader_.reset();
        io_.reset();
        return false;
    }
    return true;
}

bool CUSBConnection::Configure() {
    std::uint32_t status = io_->SetConfiguration();
    if (status == kUsbBusy) {
        // Another program claimed the interface.
        postStatus(status);
        SetErrorText("Receiver USB connection is busy");
        return false;
    }
    std::vector<std::uint8_t> config;
    if (status == kUsbOk)
        status = io_->GetConfigDescriptor(config, kConfigDescriptorSize);
    std::optional<TUsbEndpoints> endpoints;
    if (status == kUsbOk && !(endpoints = ParseEndpoints(config.data(), config.size())))
        status = kUsbNotSupported;
    if (status != kUsbOk) {
        postStatus(status);
        SetErrorText("Can not open device");
        return false;
    }
    endpoints_ = *endpoints;
    reader_ =
        std::make_unique<CMyReader>(*io_, endpoints_.in,
                                    [this](const std::uint8_t* bytes, int count, std::uint32_t s,
                                           bool stopping) { OnRead(bytes, count, s, stopping); });
    reader_->Start();
    return true;
}

void CUSBConnection::OnRead(const std::uint8_t* bytes, int count, std::uint32_t status,
                            bool stopping) {
    if (status != kUsbOk) {
        trace("Error code 0x%08X: %s\r\n", unsigned(status), UsbStatusText(status));
        if (stopping)
            MarkLost(status == kUsbNoDevice
                         ? std::string("Device removed")
                         : std::string("USB reader stopped: ") + UsbStatusText(status));
        return;
    }
    // The input thread makes room; until then the device keeps what it has.
    while (count > 0 && !lost_.load()) {
        const int room = kInputSize - UsbInput.Fill();
        if (room <= 0) {
            Wake();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!ThreadStarted() && UsbInput.Fill() >= kInputSize)
                return; // nobody reads: keep what came first
            continue;
        }
        const int take = std::min(room, count);
        UsbInput.Append(bytes, take);
        bytes += take;
        count -= take;
        Wake();
    }
}

void CUSBConnection::MarkLost(const std::string& text) {
    {
        std::lock_guard lock(lostLock_);
        if (lost_.load())
            return;
        lostText_ = text;
    }
    // A reset that was announced takes the device away on purpose; the session reconnects.
    if (resetExpected_.load())
        return;
    // Known at once to those who ask; the input thread reports it once as well.
    SetErrorText(text);
    lost_.store(true);
    Wake();
}

bool CUSBConnection::SetEventMask(std::uint32_t mask) {
    resetExpected_.store(!(mask & kEventData));
    return TReceiverConnection::SetEventMask(mask);
}

void CUSBConnection::WaitEvent(std::uint32_t& word) {
    word = 0;
    if (lossReported_.load()) {
        // Nothing more will come: only the close wakes the thread.
        WaitWake(-1);
        ResetWake();
        return;
    }
    if (!lost_.load()) {
        WaitWake(-1);
        ResetWake();
    }
    if (UsbInput.Fill() > 0)
        word |= kEventData;
    if (lost_.load() && !lossReported_.exchange(true)) {
        std::lock_guard lock(lostLock_);
        SetErrorText(lostText_);
        word |= kEventError;
    }
}

int CUSBConnection::Read(std::uint8_t* buffer, int count) {
    if (count <= 0 || UsbInput.Fill() == 0)
        return 0;
    std::uint8_t* data = UsbInput.LockAndGet();
    if (!data)
        return 0;
    const int n = std::min(count, UsbInput.Fill());
    std::memcpy(buffer, data, std::size_t(n));
    UsbInput.Consume(n);
    UsbInput.Release();
    logRaw(buffer, std::size_t(n));
    return n;
}

int CUSBConnection::Write(const std::uint8_t* bytes, int count) {
    LastWriteTick.store(tickCount());
    logCommand(bytes, std::size_t(count > 0 ? count : 0));
    if (!io_ || count <= 0 || lost_.load())
        return 0;
    int written = 0;
    const std::uint32_t status =
        io_->WriteSync(endpoints_.out, bytes, count, kWriteTimeoutMs, written);
    LastWriteTick.store(tickCount());
    if (status != kUsbOk) {
        trace("WriteSync failed!");
        if (status == kUsbNoDevice)
            MarkLost("Device removed");
        return 0;
    }
    return written;
}

} // namespace telvor
