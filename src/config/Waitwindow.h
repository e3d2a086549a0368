#pragma once
// The borderless, stay-on-top notice shown while a page queries or sends its parameters, and
// the configuration window's side of the page pattern (wait window, status bar, sheets).
#include "config/Page.h"

#include <QPointer>
#include <QWidget>

class QStatusBar;
class QTabWidget;

namespace telvor {

class TWaitWindow : public QWidget {
    Q_OBJECT
public:
    explicit TWaitWindow(const QString& text, QWidget* owner = nullptr);
};

class TWidgetConfigHost : public TConfigHost {
public:
    // `owner` centres the wait window; `pages` holds the sheets by objectName.
    TWidgetConfigHost(QWidget* owner, QStatusBar* status, QTabWidget* pages);
    ~TWidgetConfigHost() override;

    bool waitShown() const override { return !wait_.isNull(); }
    void showWait(const std::string& text) override;
    void closeWait() override;
    void setStatus(const std::string& text) override;
    void showPage(const std::string& page) override;

private:
    QWidget* owner_;
    QStatusBar* status_;
    QTabWidget* pages_;
    QPointer<TWaitWindow> wait_;
};

} // namespace telvor
