#include "cli/Cliview.h"

#include <ostream>

namespace telvor {

void TCliView::setStatusLine(const std::string& text) {
    if (progress_ && !text.empty() && text != last_)
        err_ << text << std::endl;
    last_ = text;
}

TBoxResult TCliView::messageBox(const std::string& title, const std::string& text,
                                TBoxButtons buttons, TBoxIcon) {
    err_ << title << ": " << text << std::endl;
    switch (buttons) {
    case TBoxButtons::Ok:
        return TBoxResult::Ok;
    case TBoxButtons::OkCancel:
        return TBoxResult::Cancel;
    case TBoxButtons::YesNo:
        return TBoxResult::No;
    }
    return TBoxResult::Cancel;
}

void TCliView::showNotice(const std::string& text) {
    if (verbose_)
        err_ << text << std::endl;
}

} // namespace telvor
