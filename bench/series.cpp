#include "series.h"

#include <cstdio>

namespace {

std::string number(double v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string figure(const Series& s, int decimals, bool worst) {
    if (s.empty())
        return "-";
    return number(worst ? s.worst() : s.median(), decimals);
}

std::string ratio(const Row& row) {
    if (row.ours.empty() || row.theirs.empty())
        return "-";
    const double theirs = row.theirs.median();
    if (theirs == 0)
        return row.ours.median() == 0 ? "1" : "-";
    return number(row.ours.median() / theirs, 2);
}

} // namespace

void printTable(const std::vector<Row>& rows) {
    std::printf("| Measure | Tavrin median | Tavrin worst | Reference | ref. median | ref. worst "
                "| Tavrin / ref. | Runs |\n");
    std::printf("|---|---:|---:|---|---:|---:|---:|---|\n");
    for (const Row& row : rows) {
        const std::string runs = row.theirs.empty() ? std::to_string(row.ours.runs())
                                                    : std::to_string(row.ours.runs()) + " / " +
                                                          std::to_string(row.theirs.runs());
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", row.measure.c_str(),
                    figure(row.ours, row.decimals, false).c_str(),
                    figure(row.ours, row.decimals, true).c_str(),
                    row.reference.empty() ? "-" : row.reference.c_str(),
                    figure(row.theirs, row.decimals, false).c_str(),
                    figure(row.theirs, row.decimals, true).c_str(), ratio(row).c_str(),
                    runs.c_str());
    }
    std::fflush(stdout);
}
