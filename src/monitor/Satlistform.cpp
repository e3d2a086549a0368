#include "monitor/Satlistform.h"

#include "monitor/Monitorstate.h"

#include <QHeaderView>

namespace telvor {

QTreeWidget* makeSatList(const char* name, const std::vector<std::string>& columns,
                         QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    QStringList captions;
    for (const auto& c : columns)
        captions << QString::fromStdString(c);
    list->setHeaderLabels(captions);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setSectionsClickable(true);
    list->header()->setSortIndicatorShown(false);
    return list;
}

void fillSatList(QTreeWidget* list, const TSatTable& table) {
    // Rows are reused: a full rebuild every tick flickers.
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
}

} // namespace telvor
