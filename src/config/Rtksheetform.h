#pragma once
// The sheets of the Tavrex, Base, Rover, Ports and Advanced pages, laid out from their
// controls; Ports and Advanced hold a notebook of sub-pages named after their pages.
#include "config/Advancedconfig.h"
#include "config/Baseconfig.h"
#include "config/Korvelconfig.h"
#include "config/Portsconfig.h"
#include "config/Roverconfig.h"

class QWidget;

namespace telvor {

void buildKorvelSheet(QWidget* sheet, TKorvelPage& page);
void buildBaseSheet(QWidget* sheet, TBasePage& page);
// At one time the GLONASS position is hidden and the GPS one is captioned "GPS/GLO".
void showBasePositions(QWidget* sheet, bool atOneTime);
void buildRoverSheet(QWidget* sheet, TRoverPage& page);
void buildPortsSheets(QWidget* sheet, TPortsPages& pages);
void buildAdvancedSheets(QWidget* sheet, TAdvancedPages& pages);

} // namespace telvor
