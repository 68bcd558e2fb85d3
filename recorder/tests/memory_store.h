// A signal-file store in memory for the recorder's tests; chosen names fail.
#pragma once

#include "recorder/signal_file.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace recorder::testing {

class MemoryStore final : public SignalFileStore {
public:
    bool write(const std::string& name, std::span<const std::uint8_t> bytes,
               std::string& error) override {
        if (failing.count(name) != 0) {
            error = "the disk is full";
            return false;
        }
        files[name].assign(bytes.begin(), bytes.end());
        return true;
    }
    std::map<std::string, std::vector<std::uint8_t>> files;
    std::set<std::string> failing;
};

} // namespace recorder::testing
