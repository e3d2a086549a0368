#include "config/Modaldialog.h"

namespace telvor {

int ShowModalChild(std::unique_ptr<QDialog> form, QWidget* owner) {
    if (!form)
        return QDialog::Rejected;
    if (owner && owner->isVisible()) {
        form->adjustSize();
        form->move(owner->frameGeometry().center() - form->rect().center());
    }
    const int result = form->exec();
    if (owner && owner->isHidden())
        owner->show();
    return result;
}

} // namespace telvor
