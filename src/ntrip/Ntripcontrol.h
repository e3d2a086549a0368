#pragma once
// The rules of the NTRIP client window: its fields and their checks, the settings they are
// kept in (the password scrambled like the sharing password), starting and stopping the
// client, and the status lines and sourcetable rows the window shows.
#include "ntrip/Corroutput.h"
#include "ntrip/Ntripclient.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace telvor {

class TProfile;

struct TNtripFields {
    std::string caster, mount, user, password, destination;
    int version = 2;    // 1 or 2
    int ggaSeconds = 0; // 0: none
};

class TNtripControl {
public:
    ~TNtripControl();

    static TNtripFields load(const TProfile& profile);
    static void save(TProfile& profile, const TNtripFields& fields);
    // What is wrong with the fields, empty when they can be used.
    static std::string check(const TNtripFields& fields);

    // Opens the destination and starts the client; an error text, empty on success.
    std::string start(const TNtripFields& fields);
    void stop();
    bool running() const { return client_ != nullptr; }

    // The live position for GGA and distances, from the monitor; degrees and metres. GGA
    // carries the time it is sent.
    void setPosition(double latDeg, double lonDeg, double heightM);

    // "State: Receiving", "Bytes: 1234", "Rate: 1.2 kB/s", "Age: 0.3 s", "Error: ..."
    std::vector<std::string> statusLines() const;
    // One row a stream: mount, format, systems, distance text; of `table`, or without one of
    // the sourcetable the caster answered the client with.
    std::vector<std::vector<std::string>>
    sourcetableRows(const TSourcetable* table = nullptr) const;
    // The sourcetable of the caster in `fields` (Tools window's "List").
    static TSourcetable list(const TNtripFields& fields, std::string& error);

private:
    std::string gga() const;
    std::unique_ptr<TCorrOutput> output_;
    std::unique_ptr<TNtripClient> client_;
    mutable std::mutex lock_;
    std::optional<TGeoPoint> position_;
    double heightM_ = 0;
};

} // namespace telvor
