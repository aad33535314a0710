#include "login/HomePageVisit.h"

#include "common/BuildConfig.h"
#include "platform/Shell.h"

#include <QTime>

#include <algorithm>
#include <cmath>
#include <random>

namespace HomePageVisit {

namespace {

RandomSource installed;

double seededFromTimeOfDay()
{
    std::mt19937 generator(static_cast<std::mt19937::result_type>(QTime::currentTime().msecsSinceStartOfDay()));
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

} // namespace

void setRandomSource(RandomSource source)
{
    installed = std::move(source);
}

int draw()
{
    const double uniform = installed ? installed() : seededFromTimeOfDay();
    // A source that strays outside [0, 1) still gives a number from 1 to 100.
    const int number = int(std::floor(uniform * 100)) + 1;
    return std::clamp(number, 1, 100);
}

void run()
{
    const QString address = QString::fromUtf8(BuildConfig::HomePage);
    if (draw() == Winner && !address.isEmpty())
        Shell::instance().open(address);
}

} // namespace HomePageVisit
