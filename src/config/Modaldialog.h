#pragma once
// Runs a dialog modally over its owner and frees it afterwards.
#include <QDialog>

#include <memory>

namespace telvor {

// Centres `form` on `owner`, runs it modally, shows `owner` again if it was hidden meanwhile,
// and returns the modal result. The form is freed.
int ShowModalChild(std::unique_ptr<QDialog> form, QWidget* owner);

template <class Form, class... Args> int ShowModalChild(QWidget* owner, Args&&... args) {
    return ShowModalChild(std::make_unique<Form>(std::forward<Args>(args)..., owner), owner);
}

} // namespace telvor
