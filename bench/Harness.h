#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

/// Timing side by side: every variant of one operation runs in the same rounds, in rotating
/// order, so that a slow spell of the machine touches all of them alike and their ratios hold.
namespace bench {

/// Wall-clock milliseconds from a monotonic clock.
double nowMs();

struct Sample {
    std::vector<double> ms;
    double median() const { return quantile(0.5); }
    double quantile(double q) const;
};

struct Variant {
    QString name;
    /// One timed run; `round` counts every run of this variant, warm-up included.
    std::function<void(int round)> run;
};

/// `warmup` untimed rounds, then `reps` timed ones; returns one sample per variant.
std::vector<Sample> sideBySide(const std::vector<Variant>& variants, int reps, int warmup);

/// Where the benchmark runs.
struct Machine {
    int cpus = 0;
    QString model;
    QString kernel;
    QString fileSystem;  ///< of the data folder
    bool memoryBacked = false;
    QString sqlite;
    QString qt;
    QString buildType;
};
Machine describe(const QString& dataFolder);

/// A millisecond figure with sensible precision.
QString ms(double value);
/// A ratio such as "1.04×".
QString ratio(double value);

}  // namespace bench
