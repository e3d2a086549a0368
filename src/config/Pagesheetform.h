#pragma once
// The sheets of the Positioning, Attitude, Events and Messages pages, laid out from their
// controls.
#include "config/Attitudeconfig.h"
#include "config/Eventsconfig.h"
#include "config/Messagesconfig.h"
#include "config/Positioningconfig.h"

class QWidget;

namespace telvor {

void buildPositioningSheet(QWidget* sheet, TPositioningPage& page);
// The GLONASS boxes by frequency channel (true) or by slot.
void showGlonassNumbering(QWidget* sheet, bool byFcn);
void buildAttitudeSheet(QWidget* sheet, TAttitudePage& page);
void buildEventsSheet(QWidget* sheet, TEventsPage& page);
// An empty sub-page with its Refresh and Apply.
void buildMessagesSheet(QWidget* sheet, TMessagesPage& page);

} // namespace telvor
