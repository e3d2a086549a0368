namespace telvorsim {
const char* version() {
    return "0.1";
}
} // namespace telvorsim
