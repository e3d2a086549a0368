#pragma once
// Mirrors headless controls onto the widgets of a window, found by objectName: a change the
// user makes reaches the control (and so the page's change tracking), a change the rules make
// reaches the widget.
#include "config/Control.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace telvor {

class TWidgetBinder : public QObject {
    Q_OBJECT
public:
    explicit TWidgetBinder(QWidget* root);
    ~TWidgetBinder() override;

    // False when the window has no widget of that name and kind. The controls must outlive
    // the binder.
    bool bind(TControl& control);
    QWidget* widget(const TControl& control) const;

private:
    struct TLink {
        TControl* control;
        QPointer<QWidget> widget;
    };
    void push(const TLink& link);
    void connectWidget(TControl& control, QWidget* widget);

    QWidget* root_;
    std::vector<TLink> links_;
    bool pushing_ = false;
};

} // namespace telvor
