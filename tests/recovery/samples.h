#pragma once
// Small genuine files of every type the recovery knows (samples/make_samples.sh made them).

#include <cstdint>
#include <string>
#include <vector>

namespace zr::test {

struct Sample {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

const std::vector<Sample>& Samples();

inline const Sample& SampleNamed(const std::string& name) {
    for (const Sample& s : Samples())
        if (s.name == name)
            return s;
    return Samples().front();
}

} // namespace zr::test
