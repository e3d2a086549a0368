#pragma once
// Faults of the block transfer a test may ask for. Each one strikes the first sending of the
// block it names (numbers count from 0 within a transfer); -1 leaves it out.
#include <string>

namespace telvorsim {

struct TTransferFaults {
    int damageBlock = -1;     // goes out with one data byte changed, so its CRC does not match
    int loseBlock = -1;       // never leaves; the computer's timeout asks again
    int repeatBlock = -1;     // once accepted, comes again in place of the next block
    int jumpBlock = -1;       // carries the number of the block after it
    int errorBlock = -1;      // replaced by an error block carrying `errorText`
    int silentNaks = 0;       // requests for the first block that go unanswered
    bool crcPerBlock = false; // every block's CRC starts from 0 instead of the running value
    std::string errorText = "Read error";
};

} // namespace telvorsim
