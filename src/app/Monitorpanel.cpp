#include "app/Monitorpanel.h"

#include "monitor/Monitorview.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Value labels with their initial texts; they stay hidden until a value arrives.
struct TLabelDef {
    const char* name;
    const char* text;
};
const TLabelDef kTimeLabels[] = {{"TimeLabel", "00:00:00"},
                                 {"DateLabel", "10/10/1998"},
                                 {"TrackingTimeLabel", "10d 00:00"},
                                 {"ClockOffsetLabel", "+300.0000 ns"},
                                 {"TimeDriftLabel", "+0.0000 ppm"}};
const TLabelDef kGeoLabels[] = {
    {"PosLatLabel", ""},         {"PosLonLabel", ""}, {"PosAltLabel", ""},
    {"PosTypeLabel", ""},        {"SpeedLabel", ""},  {"PSigmaLabel", "RMS Pos:"},
    {"VSigmaLabel", "RMS Vel:"}, {"PDOPLabel", ""},   {"RTKLinkLabel", ""}};
const TLabelDef kXyzLabels[] = {{"PositionX", ""}, {"PositionY", ""}, {"PositionZ", ""}};
const TLabelDef kTargetLabels[] = {{"TgtLatLabel", ""}, {"TgtLonLabel", ""}, {"ETTLabel", ""},
                                   {"NTTLabel", ""},    {"DTTLabel", ""},    {"CTTLabel", ""}};
const TLabelDef kEventLabels[] = {{"EventALabel", "Event A: 99999999999"},
                                  {"EventBLabel", "Event B: 99999999999"}};

QTreeWidget* satList(const char* name, const QStringList& columns, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setSectionsClickable(true);
    return list;
}

template <std::size_t N> QWidget* labelPage(const TLabelDef (&defs)[N], QWidget* parent) {
    auto* page = new QWidget(parent);
    auto* layout = new QVBoxLayout(page);
    for (const auto& d : defs) {
        auto* l = new QLabel(d.text, page);
        l->setObjectName(d.name);
        l->hide();
        layout->addWidget(l);
    }
    layout->addStretch();
    return page;
}

} // namespace

TMonitorPanel::TMonitorPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("MonitorPanel");
    gps_ = satList("GPSList", {"#", "EL", "AZ", "CA", "P1", "P2", "TC", "SS"}, this);
    glo_ = satList("GLOList", {"Sn", "Fn", "EL", "AZ", "CA", "P1", "P2", "TC", "SS"}, this);
    auto* gpsCount = new QLabel("GPS Satellites", this);
    gpsCount->setObjectName("GPSCountLabel");
    auto* gloCount = new QLabel("GLONASS Satellites", this);
    gloCount->setObjectName("GLOCountLabel");

    auto* tables = new QGridLayout;
    tables->addWidget(gpsCount, 0, 0);
    tables->addWidget(gps_, 1, 0);
    tables->addWidget(gloCount, 0, 1);
    tables->addWidget(glo_, 1, 1);

    auto* pages = new QTabWidget(this);
    pages->setObjectName("PositionPages");
    pages->addTab(labelPage(kGeoLabels, pages), "Geo");
    pages->addTab(labelPage(kXyzLabels, pages), "XYZ");
    pages->addTab(labelPage(kTargetLabels, pages), "Target");

    auto* time = labelPage(kTimeLabels, this);
    auto* events = labelPage(kEventLabels, this);
    displayData_ = new QCheckBox("Display data", this);
    displayData_->setObjectName("MonitorServerCheckBox");
    displayData_->hide();

    auto* side = new QVBoxLayout;
    side->addWidget(time);
    side->addWidget(events);
    side->addWidget(displayData_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pages, 1);
    bottom->addLayout(side);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tables, 1);
    layout->addLayout(bottom);
}

QLabel* TMonitorPanel::label(const char* name) const {
    return findChild<QLabel*>(name);
}

void TMonitorPanel::render(const telvor::TMonitorView& view) {
    for (const auto& [name, value] : view.labels()) {
        if (QLabel* l = findChild<QLabel*>(QString::fromStdString(name))) {
            l->setText(QString::fromStdString(value.text));
            l->setVisible(value.visible);
        }
    }
    auto fill = [](QTreeWidget* list, const telvor::TSatTable& table) {
        list->setUpdatesEnabled(false);
        while (list->topLevelItemCount() > int(table.rows.size()))
            delete list->takeTopLevelItem(list->topLevelItemCount() - 1);
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            QTreeWidgetItem* item = list->topLevelItem(int(r));
            if (!item)
                item = new QTreeWidgetItem(list);
            const auto& cells = table.rows[r].cells;
            for (std::size_t c = 0; c < cells.size(); ++c)
                item->setText(int(c), QString::fromStdString(cells[c]));
        }
        list->setUpdatesEnabled(true);
    };
    fill(gps_, view.gps());
    fill(glo_, view.glonass());
}

void TMonitorPanel::hideValues() {
    auto hideAll = [this](const auto& defs) {
        for (const auto& d : defs)
            if (QLabel* l = label(d.name))
                l->hide();
    };
    hideAll(kTimeLabels);
    hideAll(kGeoLabels);
    hideAll(kXyzLabels);
    hideAll(kTargetLabels);
    hideAll(kEventLabels);
}

void TMonitorPanel::hideDateAndEvents() {
    for (const char* name : {"DateLabel", "EventALabel", "EventBLabel"})
        if (QLabel* l = label(name))
            l->hide();
}
