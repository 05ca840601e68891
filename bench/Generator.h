#pragma once

#include <QString>
#include <cstdint>
#include <random>

#include "core/questionnaire/Answers.h"

/// Realistic questionnaires drawn from the catalogue, reproducible from a seed.
namespace gen {

/// The identity number of questionnaire `index`: 18 characters (region, birth date, sequence,
/// check character), distinct for every index below 90 million and scattered in key order.
QString idFor(std::int64_t index);

class Generator {
public:
    explicit Generator(std::uint64_t seed) : m_rng(seed) {}

    /// One box per single-choice group, and each box of the twelve multi-choice pages ticked
    /// with a chance that gives about forty answer rows, at least one per page.
    Answers typical(const QString& id);
    /// Every box of the multi-choice pages ticked, every other text filled.
    Answers worst(const QString& id);

private:
    void basics(Answers& a);
    int pick(int n) { return int(m_rng() % std::uint64_t(n)); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < p; }
    QString otherText();

    std::mt19937_64 m_rng;
};

}  // namespace gen
