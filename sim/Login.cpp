#include "sim/Login.h"

#include "sim/Encoders.h"

namespace telvorsim {

namespace {
constexpr int kMaxFailures = 3;
constexpr std::size_t kMaxLine = 256;
} // namespace

std::string TLogin::greeting() {
    return "\r\nreceiver ready\r\nlogin: ";
}

std::string TLogin::refusal() {
    return "\r\nreceiver ready\r\nconnection refused\r\n";
}

TLogin::TStep TLogin::feed(const std::uint8_t* data, std::size_t count) {
    TStep step;
    std::size_t i = 0;
    while (i < count && state_ != State::Done) {
        char c = static_cast<char>(data[i++]);
        // CR LF (or LF CR) ends one line, not two.
        bool end = c == '\r' || c == '\n';
        if (end && afterCr_ && line_.empty()) {
            afterCr_ = false;
            continue;
        }
        afterCr_ = end;
        if (!end) {
            if (line_.size() < kMaxLine)
                line_.push_back(c);
            continue;
        }
        std::string line;
        line.swap(line_);
        if (state_ == State::User) {
            state_ = State::Password;
            step.answer += "Password: ";
        } else if (line == password_) {
            state_ = State::Done;
            step.loggedIn = true;
            // The first reply of the command session.
            step.answer += "\r\n" + frameReply(true, "%%\n");
        } else if (++failures_ >= kMaxFailures) {
            step.answer += "\r\nLogin incorrect\r\n";
            step.hangUp = true;
            break;
        } else {
            state_ = State::User;
            step.answer += "\r\nLogin incorrect\r\nlogin: ";
        }
    }
    // A line end right after the password belongs to it, not to the first command.
    if (state_ == State::Done && afterCr_ && i < count && data[i] == '\n')
        ++i;
    step.used = i;
    return step;
}

} // namespace telvorsim
