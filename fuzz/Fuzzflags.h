#pragma once
// Flags a target sets for itself from LLVMFuzzerInitialize. They go before the command line's
// own, so that a flag given when running still wins.
#include <initializer_list>
#include <vector>

namespace telvorfuzz {

inline void PrependFlags(int* argc, char*** argv, std::initializer_list<const char*> flags) {
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    auto at = args.begin() + (args.empty() ? 0 : 1);
    for (const char* flag : flags)
        at = args.insert(at, const_cast<char*>(flag)) + 1;
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size() - 1);
    *argv = args.data();
}

} // namespace telvorfuzz
