#pragma once

#include <QString>
#include <QVector>

// One account of a chart of accounts. A child's code is its parent's code followed by one more
// segment; `grade` is the level (1 for the first segment), `endLevel` tells that no account
// lies below this one.
struct ChartAccount {
    QString code;
    QString name;
    int grade = 0;
    bool endLevel = false;
};

// A realistic chart of exactly `codeCount` accounts, sorted by code. The first segment must be
// 4 digits (first-level accounts come from the standard Chinese chart, 1001 库存现金 to 6901
// 以前年度损益调整); each later segment is `levelLengths[i]` digits (1 to 4), numbered from 1.
// The same arguments always give the same chart. Throws std::invalid_argument when the shape is
// unsupported or cannot hold `codeCount` accounts.
QVector<ChartAccount> generateChart(int codeCount, const QVector<int> &levelLengths = {4, 2, 2}, quint32 seed = 1);
