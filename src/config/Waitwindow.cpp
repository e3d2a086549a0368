#include "config/Waitwindow.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace telvor {

TWaitWindow::TWaitWindow(const QString& text, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("WaitWindow");
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(text, this);
    label->setObjectName("WaitLabel");
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    layout->setContentsMargins(24, 16, 24, 16);
    adjustSize();
    const QRect area = owner && owner->isVisible() ? owner->frameGeometry()
                       : screen()                  ? screen()->availableGeometry()
                                                   : QRect();
    if (area.isValid())
        move(area.center() - rect().center());
}

TWidgetConfigHost::TWidgetConfigHost(QWidget* owner, QStatusBar* status, QTabWidget* pages)
    : owner_(owner), status_(status), pages_(pages) {}

TWidgetConfigHost::~TWidgetConfigHost() {
    closeWait();
}

void TWidgetConfigHost::showWait(const std::string& text) {
    closeWait();
    wait_ = new TWaitWindow(QString::fromStdString(text), owner_);
    wait_->show();
    // Painted before the first command goes out.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TWidgetConfigHost::closeWait() {
    delete wait_.data();
}

void TWidgetConfigHost::setStatus(const std::string& text) {
    if (status_)
        status_->showMessage(QString::fromStdString(text));
}

void TWidgetConfigHost::showPage(const std::string& page) {
    if (!pages_)
        return;
    QWidget* sheet = pages_->findChild<QWidget*>(QString::fromStdString(page));
    // A sub-page sits in a notebook of its own: bring each notebook on the way to the front.
    for (QWidget* w = sheet; w && w != pages_; w = w->parentWidget()) {
        QWidget* stack = w->parentWidget();
        if (auto* tabs = qobject_cast<QTabWidget*>(stack ? stack->parentWidget() : nullptr))
            tabs->setCurrentWidget(w);
    }
}

} // namespace telvor
