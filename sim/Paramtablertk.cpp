#include "sim/Params.h"

namespace telvorsim {

// Parameters of the RTK base and rover, ports, front panel and advanced pages; same row format as
// kParamTable.
const char* const kParamTableRtk = R"TABLE(
# base
/par/ref/avg/mode               enum   off      on|off
/par/ref/avg/span               int    60       1..86400
/par/ref/pos/{gps,glo}/geo      list   {W84,N00d00m00.0000s,E000d00m00.0000s,0.0000}
/par/ref/ant/l2_l1              list   {0.0000,0.0000,0.0000}
/par/rtcm/base/stid             int    0        0..1023
/par/rtcm/base/svm              int    12       4..24
/par/rtcm/base/health           enum   good     good|bad|unknown
/par/rtcm/base/meas/{ca,p1,p2}  enum   on       on|off
/par/rtcm/base/sys              list   {on,on}
/par/rtcm/base/smooth           enum   off      on|off
/par/cmr/base/stid              int    0        0..31
/par/cmr/base/motion            enum   static   unknown|static|kinematic
/par/cmr/base/pcode             enum   off      off|on
/par/cmr/base/meas/p2           enum   on       on|off
/par/cmr/base/glo/type          int    3        0..255
/par/cmr/base/desc              list   {BASE,COGO,TELVOR}

# rover
/par/pos/mode/cur               enum   sp       sp|cd|pf|pd
/par/pos/mode/{sp,cd,pf,pd}     enum   on       on|off
/par/pos/cd/mult/{mode,nearest,mix,best}  enum  off  on|off
/par/pos/cd/mult/mixmode        enum   cor      cor|pos
/par/pos/cd/maxage              int    30       1..1200
/par/pos/cd/iono/maxage         int    600      1..3600
/par/pos/cd/ionofree            enum   off      on|off
/par/pos/{cd,pd}/port           enum   any      any|/dev/ser/a|/dev/ser/b|/dev/ser/c|/dev/ser/d|/dev/modem/a
/par/pos/pd/mode                enum   extrap   extrap|delay
/par/pos/pd/aflevel             enum   medium   low|medium|high
/par/pos/pd/meas/{ca,p1,p2}     enum   on       on|off
/par/pos/pd/period              float  1        0.05..60
/par/pos/pd/ref/keep            enum   off      on|off
/par/cmr/rover/glo/type         int    3        0..255

# ports: which this receiver has, the Ethernet interface, the modem
/par/opts/cur/{RS_A,RS_B,RS_C,RS_D,_USB,ETHR,INFR,TCP_A,_TCP}  ro  1
/par/opts/cur/{_PAR,_FRH,_DSS,TCP_B,TCP_C,TCP_D,TCP_E}         ro  0
/par/net/ip/addr                text   192.168.0.100
/par/net/ip/mask                text   255.255.255.0
/par/net/ip/gw                  text   192.168.0.1
/par/net/{tcp,ftp}/port         int    8002     0..65535
/par/net/{tcp,ftp}/timeout      int    600      1..86400
/par/net/passwd                 text   ""
/par/dev/modem/a/type           enum   off      off|fhin|fhout|ssin|ssout
/par/dev/modem/a/ant            enum   int      int|ext
/par/dev/modem/a/pwr            enum   high     high|low
/par/rcv/ver/modem              ro     ""
# where a port in input mode "echo" sends what it receives, and the line that ends the echo
/par/dev/ser/{a,b,c,d}/echo     enum   /dev/null   /dev/null|/dev/ser/a|/dev/ser/b|/dev/ser/c|/dev/ser/d|/dev/usb/a|/dev/tcp/a|/cur/term
/par/dev/{usb,tcp,prl,modem}/a/echo   enum   /dev/null   /dev/null|/dev/ser/a|/dev/ser/b|/dev/ser/c|/dev/ser/d|/dev/usb/a|/dev/tcp/a|/cur/term
/par/dev/ser/{a,b,c,d}/eoff     text   "#OFF#"
/par/dev/{usb,tcp,prl,modem}/a/eoff   text   "#OFF#"

# front panel
/par/log/sc/period              float  1        0.05..86400
/par/cmd/create/prefix          text   log
/par/button/file                text   ""
/par/button/rot                 enum   off      off|on
/par/log/rot/sc/period          float  3600     1..86400
/par/log/rot/sc/phase           float  0        0..86400
/par/log/rot/sc/count           int    24       1..1000
/par/log/rot/count              ro     24
/par/log/rot/rmold              enum   off      on|off
/par/button/action              enum   led      led|dyn
/par/button/dyn                 enum   static   static|dynamic
/par/button/auto                enum   off      off|on|always

# advanced
/par/ajm/mode                   enum   susp     off|susp|gps|glo|l1|l2|auto
/par/raw/corr/ca/{code,carrier} enum   normal   normal|mpnew
/par/raw/pll/band               float  25       2..50
/par/raw/pll/order              int    3        2..3
/par/raw/gdl/band               float  1        0.1..10
/par/raw/cagdl/band             float  5        0.1..50
/par/raw/gdl/adapt              enum   on       on|off
/par/lock/pcode                 enum   on       on|off
/par/raw/clp/{loops,static}     enum   off      on|off
/par/raw/clp/indband            float  10       2..20
/par/raw/clp/comband            float  20       2..50
/par/raw/clp2/loop              enum   off      on|off
/par/frq/input                  enum   int      int|ext
/par/frq/ext                    float  10       2..40
/par/frq/stat                   ro     off
/par/frq/amp                    ro     0
/par/osc/mode                   enum   off      off|locked|tied
/par/raw/smi                    int    100      0..900
/par/raw/dopp/smi               float  1        0..10
/par/raw/iono/smi               int    300      0..900
/par/raw/iono/minsmi            int    30       0..900
)TABLE";

} // namespace telvorsim
