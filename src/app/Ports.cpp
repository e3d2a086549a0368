#include "app/Ports.h"

#include "links/Parallelconnection.h"
#include "links/Portio.h"
#include "links/Usbconnection.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <regex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace telvor {
namespace {

std::function<std::vector<std::string>()>& usbLister() {
    static std::function<std::vector<std::string>()> lister;
    return lister;
}

// The kernel's parallel ports ("LPT1", ...), none on a machine without them.
std::function<std::vector<std::string>()>& lptLister() {
    static std::function<std::vector<std::string>()> lister = [] {
        std::vector<std::string> names;
        ListParallelPorts(names);
        return names;
    };
    return lister;
}

// ttyS0 -> (0, 0), ttyUSB3 -> (1, 3), ttyACM1 -> (2, 1); kind -1 for other names.
std::pair<int, int> ttyKey(const std::string& name) {
    static const std::regex re("^tty(S|USB|ACM)([0-9]+)$");
    std::smatch m;
    if (!std::regex_match(name, m, re))
        return {-1, 0};
    int kind = m[1] == "S" ? 0 : m[1] == "USB" ? 1 : 2;
    return {kind, std::stoi(m[2])};
}

// Serial-core ports without a UART behind them report type 0.
bool hasUart(const fs::path& ttyDir) {
    std::ifstream in(ttyDir / "type");
    int type = 0;
    return in && (in >> type) && type != 0;
}

std::map<std::string, std::string> byIdNames(const TPortScan& scan) {
    std::map<std::string, std::string> names; // tty name -> by-id path
    std::error_code ec;
    fs::path dir = fs::path(scan.devRoot) / "serial" / "by-id";
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        std::error_code lec;
        fs::path target = fs::read_symlink(entry.path(), lec);
        if (lec)
            continue;
        std::string tty = (dir / target).lexically_normal().filename().string();
        auto it = names.find(tty);
        if (it == names.end() || entry.path().string() < it->second)
            names[tty] = entry.path().string();
    }
    return names;
}

bool socketsAvailable() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

std::vector<TPortEntry> serialPorts(const TPortScan& scan) {
    std::vector<std::pair<std::pair<int, int>, std::string>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(scan.sysRoot) / "class" / "tty", ec)) {
        std::string name = entry.path().filename().string();
        auto key = ttyKey(name);
        if (key.first < 0)
            continue;
        if (key.first == 0 && !hasUart(entry.path()))
            continue;
        std::error_code dec;
        if (!fs::exists(fs::path(scan.devRoot) / name, dec))
            continue;
        found.push_back({key, name});
    }
    std::sort(found.begin(), found.end());

    auto byId = byIdNames(scan);
    std::vector<TPortEntry> ports;
    for (const auto& [key, name] : found) {
        TPortEntry p;
        p.device = (fs::path(scan.devRoot) / name).string();
        auto it = byId.find(name);
        if (it != byId.end()) {
            p.name = it->second;
            p.label = p.device + "  " + fs::path(it->second).filename().string();
        } else {
            p.name = p.device;
            p.label = p.device;
        }
        ports.push_back(std::move(p));
    }
    return ports;
}

void setUsbReceiverLister(std::function<std::vector<std::string>()> lister) {
    usbLister() = std::move(lister);
}

void setParallelPortLister(std::function<std::vector<std::string>()> lister) {
    lptLister() = std::move(lister);
}

std::vector<std::string> usbReceivers() {
    if (usbLister())
        return usbLister()();
    // Asked again at every look: receivers come and go while the program runs.
    std::vector<std::string> names;
    ListUsbReceivers(names, ParseVendorIds(profile().read(keys::CommUSBVendors)));
    return names;
}

std::vector<TPortEntry> dialogPorts(const TPortScan& scan) {
    std::vector<TPortEntry> ports = serialPorts(scan);
    if (ports.empty())
        ports.push_back({"COM1", serialDevicePath("COM1", scan), "COM1"});
    if (lptLister()) {
        const auto known = parallelBus().ports();
        for (const auto& name : lptLister()()) {
            std::string label = name;
            for (const auto& p : known)
                if (p.name == name) {
                    char base[16];
                    std::snprintf(base, sizeof base, "  %03Xh", p.base);
                    label += base;
                }
            ports.push_back({name, "", label});
        }
    }
    if (socketsAvailable())
        ports.push_back({"ETHR", "", "ETHR"});
    if (!usbReceivers().empty())
        ports.push_back({"USB", "", "USB"});
    return ports;
}

std::string serialDevicePath(const std::string& portName, const TPortScan& scan) {
    std::string path = SerialDevicePath(portName);
    if (path != portName && scan.devRoot != "/dev" && path.rfind("/dev/", 0) == 0)
        path = (fs::path(scan.devRoot) / path.substr(5)).string();
    return path;
}

int findPort(const std::vector<TPortEntry>& ports, const std::string& stored,
             const TPortScan& scan) {
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i].name == stored)
            return int(i);
    if (stored.rfind("USB", 0) == 0) {
        for (size_t i = 0; i < ports.size(); ++i)
            if (ports[i].name == "USB")
                return int(i);
        return -1;
    }
    std::string device = serialDevicePath(stored, scan);
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(device, ec);
    for (size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].device.empty())
            continue;
        if (ports[i].device == device)
            return int(i);
        std::error_code pec;
        if (!ec && fs::weakly_canonical(ports[i].device, pec) == resolved && !pec)
            return int(i);
    }
    return -1;
}

std::string accessHintText(const std::string& device, const std::string& group) {
    if (!group.empty() && group != "root")
        return "To use " + device + ", add your user to the group \"" + group +
               "\" (sudo usermod -aG " + group + " $USER), then log out and in again.";
    return "To use " + device + ", ask the administrator for read and write access to it.";
}

std::string accessHint(const std::string& portName, const TPortScan& scan) {
    std::string device = serialDevicePath(portName, scan);
    if (device.empty() || device[0] != '/')
        return {};
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return {};
    if (::access(device.c_str(), R_OK | W_OK) == 0 || errno != EACCES)
        return {};
    std::string group;
    if (struct group* g = ::getgrgid(st.st_gid))
        group = g->gr_name;
    return accessHintText(device, group);
}

} // namespace telvor
