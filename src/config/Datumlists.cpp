#include "config/Datumlists.h"

#include <cstdlib>

namespace telvor {

const std::vector<std::string>& ShortDatumList() {
    static const std::vector<std::string> kList{"W84", "P90"};
    return kList;
}

const std::vector<std::string>& FullDatumList() {
    static const std::vector<std::string> kList{
        "W84",   "P90",   "W72",   "ADI-M", "ADI-E", "ADI-F", "ADI-A", "ADI-C", "ADI-D", "ADI-B",
        "AFG",   "ARF-M", "ARF-A", "ARF-H", "ARF-B", "ARF-C", "ARF-D", "ARF-E", "ARF-F", "ARF-G",
        "ARS-M", "ARS-A", "ARS-B", "PHA",   "BID",   "CAP",   "CGE",   "DAL",   "EUR_F", "EUR_T",
        "LEH",   "LIB",   "MAS",   "MER",   "MIN-A", "LEH",   "MPO",   "NSD",   "OEG",   "PTB",
        "PTN",   "SCK",   "SRL",   "VOR",   "AIN-A", "AIN-B", "BAT",   "EUR-H", "HKD",   "HTN",
        "IND-B", "IND-I", "INF-A", "ING-A", "ING-B", "INH-A", "IDN",   "KAN",   "KEA",   "NAH-A",
        "NAH-B", "NAH-C", "FAH",   "QAT",   "SOA",   "TIL",   "TOY-M", "TOY-A", "TOY-B", "TOY-C",
        "AUA",   "AUG",   "EST",   "EUR-M", "EUR-A", "EUR-E", "EUR-G", "EUR-K", "EUR-B", "EUR-I",
        "EUR-J", "EUR-L", "EUR-C", "EUR-D", "EUS",   "HJO",   "IRL",   "OGB-M", "OGB-A", "OGB-B",
        "OGB-C", "OGB-D", "MOD",   "SPK-A", "SPK-B", "SPK-C", "SPK-D", "SPK-E", "SPK-F", "SPK-G",
        "SPK-0", "CCD",   "CAC",   "NAS-C", "NAS-B", "NAS-A", "NAS-D", "NAS-V", "NAS-W", "NAS-Q",
        "NAS-R", "NAS-E", "NAS-F", "NAS-G", "NAS-H", "NAS-I", "NAS-J", "NAS-O", "NAS-P", "NAS-N",
        "NAS-T", "NAS-U", "NAS-L", "NAR-A", "NAR-E", "NAR-B", "NAR-C", "NAR-H", "NAR-D", "BOO",
        "CAI",   "CHU",   "COA",   "PRP-M", "PRP-A", "PRP-B", "PRP-C", "PRP-D", "PRP-E", "PRP-F",
        "PRP-G", "PRP-H", "HIT",   "SAN-M", "SAN-A", "SAN-B", "SAN-C", "SAN-D", "SAN-E", "SAN-F",
        "SAN-J", "SAN-G", "SAN-H", "SAN-I", "SAN-K", "SAN-L", "ZAN",   "AIA",   "ASC",   "SHB",
        "BER",   "DID",   "FOT",   "GRA",   "ISG",   "LCF",   "ASM",   "NAP",   "FLO",   "PLN",
        "POS",   "PUR",   "QUO",   "SAO",   "SAP",   "SGM",   "TDC",   "ANO",   "GAA",   "IST",
        "KEG",   "MIK",   "REU",   "AMA",   "ATF",   "TRN",   "ASQ",   "IBE",   "CAO",   "CHI",
        "GIZ",   "EAS",   "GEO",   "GUA",   "DOB",   "JOH",   "KUS",   "LUZ-A", "LUZ-B", "MID",
        "OHA-M", "OHA-A", "OHA-B", "OHA-C", "OHA-D", "PIT",   "SAE",   "MVS",   "ENW",   "WAK",
        "BUR",   "CAZ",   "EUR-S", "GSE",   "HEN",   "HER",   "IND-P", "PUK",   "TAN",   "VOI",
        "YAC",   "USER",
    };
    return kList;
}

const std::vector<std::string>& DatumList(const std::string& option) {
    return std::strtod(option.c_str(), nullptr) < 1 ? ShortDatumList() : FullDatumList();
}

} // namespace telvor
