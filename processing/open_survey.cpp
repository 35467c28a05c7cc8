#include "processing/open_survey.h"

#include <cmath>
#include <limits>

#include "common/language.h"
#include "processing/commands.h"

std::optional<int> FileIndexFromName(std::string_view fileName) {
    size_t i = 0;
    while (i < fileName.size() && (fileName[i] < '0' || fileName[i] > '9')) ++i;
    if (i == fileName.size()) return std::nullopt;
    long long value = 0;
    for (; i < fileName.size() && fileName[i] >= '0' && fileName[i] <= '9'; ++i) {
        value = value * 10 + (fileName[i] - '0');
        if (value > std::numeric_limits<int>::max()) return std::nullopt;
    }
    return static_cast<int>(value);
}

int AddAveragedSounding(const CGantrelLine& line, CSoundingData& sounding) {
    const CGantrelGeometry& g = *line.pGeometry;
    int added = 0;
    for (int j = 0; j < kMaxReceiver; ++j) {
        int count = 0;
        double sum = 0.0;
        for (const auto& d : line.pData) {
            // A value that is not positive has no logarithm; it would turn the whole mean
            // into NaN, so it is left out of the average.
            if (d.nReceiver <= j || !(d.fResistivity[j] > 0.0f)) continue;
            ++count;
            sum += std::log10(static_cast<double>(d.fResistivity[j]));
        }
        if (count == 0) continue;
        CSoundingPoint p;
        p.fResistivity = static_cast<float>(std::pow(10.0, sum / count));
        const float half = g.fReceiverDipole / 2.0f;
        p.fHalfDipole = half;
        p.fNFactor = (static_cast<float>(j + 1) * half + g.fRopeLength) / half;
        p.nCount = count;
        sounding.points.push_back(p);
        ++added;
    }
    return added;
}

void RegisterOpenCommands(CCommandTable& table) { (void)table; }
