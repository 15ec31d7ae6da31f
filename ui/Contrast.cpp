#include "ui/Contrast.h"

#include <algorithm>
#include <cmath>

namespace dirtally {

namespace {
constexpr double kReadable = 4.5;

double luminance(const QColor& colour) {
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

QColor mix(const QColor& from, const QColor& to, double share) {
    const auto channel = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(float(channel(from.redF(), to.redF())),
                            float(channel(from.greenF(), to.greenF())),
                            float(channel(from.blueF(), to.blueF())));
}
}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& wanted, const QColor& background) {
    const QColor towards =
        contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background)
            ? QColor(Qt::black)
            : QColor(Qt::white);
    for (int step = 0; step < 20; ++step) {
        const QColor candidate = mix(wanted, towards, step / 20.0);
        if (contrastRatio(candidate, background) >= kReadable) {
            return candidate;
        }
    }
    return towards;
}

}  // namespace dirtally
