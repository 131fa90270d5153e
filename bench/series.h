#pragma once

#include <algorithm>
#include <string>
#include <vector>

// The figures of one measure over several runs. Every measure here is worse when larger.
struct Series {
    std::vector<double> values;

    void add(double v) { values.push_back(v); }
    bool empty() const { return values.empty(); }
    int runs() const { return static_cast<int>(values.size()); }
    double median() const {
        if (values.empty())
            return 0;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t mid = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
    }
    double worst() const {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
};

// One line of the result table: Tavrin's figure and, where one applies, the same measure for a
// reference tool.
struct Row {
    std::string measure;
    Series ours;
    std::string reference; // empty: no reference applies
    Series theirs;
    int decimals = 1;
};

inline Row row(std::string measure, std::string reference = {}, int decimals = 1) {
    Row r;
    r.measure = std::move(measure);
    r.reference = std::move(reference);
    r.decimals = decimals;
    return r;
}

// Prints the rows as a Markdown table, with the ratio of the medians where both exist.
void printTable(const std::vector<Row>& rows);
