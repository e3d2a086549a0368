#pragma once
// The login dialogue of the receiver's Ethernet port: "receiver ready", "login:", "Password:",
// then the command language, or "Login incorrect".
#include <cstddef>
#include <cstdint>
#include <string>

namespace telvorsim {

class TLogin {
public:
    explicit TLogin(std::string password) : password_(std::move(password)) {}

    // What a new client sees first.
    static std::string greeting();
    // What a second client sees before the receiver hangs up on it.
    static std::string refusal();

    struct TStep {
        std::string answer;   // text to send back
        std::size_t used = 0; // bytes taken; the rest belongs to the command language
        bool loggedIn = false;
        bool hangUp = false; // too many wrong passwords
    };
    TStep feed(const std::uint8_t* data, std::size_t count);
    bool loggedIn() const { return state_ == State::Done; }

private:
    enum class State { User, Password, Done };
    State state_ = State::User;
    std::string password_;
    std::string line_;
    bool afterCr_ = false;
    int failures_ = 0;
};

} // namespace telvorsim
