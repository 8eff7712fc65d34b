#pragma once

#include <QString>
#include <QVector>
#include <deque>
#include <functional>

// The table bench/run prints: one row per figure, with the median, minimum and maximum of the panel's
// runs, the baseline's median from the same run, their ratio and the target.
class CResultTable
{
public:
    struct Row
    {
        QString sFigure;
        QVector<double> panel;
        QVector<double> baseline;
        QString sTarget;
        // Whether the target is met, given the panel's median and the baseline's median.
        std::function<bool(double dMedian, double dBaselineMedian)> met;
        int nDecimals = 1;
    };

    static double Median(QVector<double> values);
    static double Percentile(QVector<double> values, double dFraction);

    Row& Add(const QString& sFigure, const QString& sTarget, int nDecimals);
    void Print() const;

private:
    std::deque<Row> m_rows;
};
