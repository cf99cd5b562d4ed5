// Random damage to a valid sample input, for the robustness tests: byte
// flips, inserted pieces, erased bytes, long runs and truncation, driven by
// a seeded generator so that every run sees the same inputs.
#ifndef RVMUTATE_H
#define RVMUTATE_H

#include <cstddef>
#include <random>
#include <string>

namespace rvtest {

struct Mutation {
    const char* const* pieces;  // inserted texts; an empty one stands for a NUL byte
    size_t pieceCount;
    int maxEdits;               // 1 to maxEdits edits per input
    size_t maxErase;            // bytes erased at once, at most
    const char* runChars;       // characters of inserted runs; null: no runs
    size_t maxRun;              // length of a run, at most
};

inline std::string mutate(std::mt19937& rng, const std::string& base, const Mutation& m)
{
    std::string s = base;
    const unsigned kinds = m.runChars ? 5 : 4;
    int edits = 1 + static_cast<int>(rng() % static_cast<unsigned>(m.maxEdits));
    for (int e = 0; e < edits; ++e) {
        size_t pos = s.empty() ? 0 : rng() % (s.size() + 1);
        unsigned kind = rng() % kinds;
        if (kind == 0) {
            if (pos < s.size())
                s[pos] = static_cast<char>(rng() & 0xFF);
        } else if (kind == 1) {
            const char* piece = m.pieces[rng() % m.pieceCount];
            s.insert(pos, *piece ? std::string(piece) : std::string(1, '\0'));
        } else if (kind == 2) {
            if (pos < s.size())
                s.erase(pos, 1 + rng() % m.maxErase);
        } else if (kind == 3 && m.runChars) {
            size_t n = std::char_traits<char>::length(m.runChars);
            s.insert(pos, static_cast<size_t>(1 + rng() % m.maxRun), m.runChars[rng() % n]);
        } else {
            s.resize(pos);
        }
    }
    return s;
}

}  // namespace rvtest

#endif
