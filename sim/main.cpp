#include <cstdio>

int main() {
    std::puts("telvor-sim: the simulated receiver is not built yet");
    return 2;
}
