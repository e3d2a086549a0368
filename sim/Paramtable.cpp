#include "sim/Params.h"

namespace telvorsim {

// One row per leaf: path, kind, default, then the allowed values (a|b|c) or range (low..high).
// Paths expand braces: {a,b} alternatives, {1..3} numbers. "@name" values are computed by the
// receiver each time they are read. Quoted defaults keep their blanks.
const char* const kParamTable = R"TABLE(
# identity and versions
/par/rcv/model                  ro     @model
/par/rcv/sn                     ro     @serial
/par/rcvid                      ro     @id
/par/rcv/ver/main               ro     @firmware
/par/version/main               ro     @version
/par/rcv/ver/board              ro     "MB-4.2"
/par/rcv/ver/hw                 ro     "HW 2.3"
/par/rcv/ver/boot               ro     "1.14"
/par/rcv/ver/pow/fw             ro     "1.30"
/par/rcv/ver/pow/hw             ro     "PB-2"
/par/rcv/mem                    ro     32768
/par/rcv/uptime                 ro     @uptime
/par/rcv/flash/waitstates       ro     2
/par/cpu/frq                    ro     200

# power
/par/pwr/ext                    ro     12.42
/par/pwr/mode                   enum   auto     auto|mix|a|b|ext
/par/pwr/curmode                ro     ext
/par/pwr/charge/bat             enum   auto     off|a|b|auto
/par/pwr/charge/curbat          ro     off
/par/pwr/charge/speed           enum   normal   normal|fast
/par/pwr/charge/curspeed        ro     slow
/par/pwr/bat/a                  ro     8.21
/par/pwr/bat/b                  ro     0.00
/par/pwr/board                  ro     12.21
/par/pwr/charger                ro     0.00
/par/pwr/extports               ro     12.05
/par/pwr/chdc                   ro     0.000
/par/pwr/d3v                    ro     3.31
/par/pwr/a3v                    ro     3.29
/par/pwr/d5v                    ro     5.02
/par/pwr/a5v                    ro     4.98
/par/pwr/ports                  enum   on       off|on|always
/par/pwr/slots                  enum   off      off|on|always
/par/pwr/out/{ab,c}             enum   on       off|on
/par/pwr/switch/{2..4}          enum   off      off|on|always
/par/lpm                        enum   off      on|off
/par/ant/inp                    enum   auto     int|ext|auto
/par/ant/curinp                 ro     ext
/par/ant/dc                     ro     on
/par/dev/thermo/out             ro     38.5

# memory
/par/dev/blk/a/size             ro     @blk_size
/par/dev/blk/a/free             ro     @blk_free
/par/dev/blk/a/files            ro     @blk_files
/par/dev/blk/a/block_size       ro     @block_size
/par/dev/blk/a/blocks           ro     @blocks
/par/dev/blk/a/bad_blocks       ro     0
/par/dev/blk/a/verify           enum   on       on|off
/par/dev/blk/a/ver              ro     "2.4"
/par/stat/fsinit                ro     @fsinit
/par/stat/rw                    ro     @statrw
/dev/blk/a&block_size           ro     @block_size
/dev/blk/a&blocks               ro     @blocks

# ports
/par/dev/ser/{a,b,c,d}/rate     enum   115200   300|600|1200|2400|4800|9600|14400|19200|28800|38400|57600|115200|153600|230400|460800
/par/dev/ser/{a,b,c,d}/parity   enum   N        N|E|O
/par/dev/ser/{a,b,c,d}/stops    enum   1        1|2
/par/dev/ser/{a,b,c,d}/rtscts   enum   off      on|off
/par/dev/ser/{a,b,c,d}/ir       enum   off      on|off
/par/dev/ser/{a,b,c,d}/imode    enum   cmd      cmd|echo|none|rtcm|rtcm3|cmr|vxr|omni
/par/dev/{usb,tcp,prl,modem}/a/imode   enum   cmd   cmd|echo|none|rtcm|rtcm3|cmr|vxr|omni
/par/out/elm/dev/ser/{a,b,c,d}  int    5        -90..90
/par/out/elm/dev/{usb,tcp,prl,modem}/a  int  5  -90..90
/par/out/elm/cur/log            int    5        -90..90

# positioning
/par/pos/elm                    int    5        0..90
/par/pos/gps/sat/{1..37}        enum   on       on|off
/par/pos/glo/sat/{1..24}        enum   on       on|off
/par/pos/pd/reset               enum   off      off|on
/par/pos/pd/dyn                 float  1        0..5
/par/pos/msint                  int    1000     10..86400000
/par/raw/msint                  int    1000     10..86400000
/par/pos/curmsint               ro     @posmsint
/par/raw/curmsint               ro     @rawmsint
/par/opts/cur/_RAW              ro     10
/par/opts/cur/_POS              ro     10
/par/opts/cur/_DTM              ro     1
/par/base/mode                  enum   off      off|on
/par/rover/mode                 enum   off      off|on
)TABLE";

const std::string& paramTableText() {
    static const std::string text =
        std::string(kParamTable) + "\n" + kParamTableConfig + "\n" + kParamTableRtk + "\n";
    return text;
}

} // namespace telvorsim
