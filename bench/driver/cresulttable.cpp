#include "cresulttable.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QString Number(double d, int nDecimals)
{
    return std::isnan(d) ? QStringLiteral("-") : QString::number(d, 'f', nDecimals);
}

} // namespace

double CResultTable::Median(QVector<double> values) { return Percentile(std::move(values), 0.5); }

double CResultTable::Percentile(QVector<double> values, double dFraction)
{
    if (values.isEmpty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const int nIndex = qBound(0, int(std::ceil(dFraction * values.size())) - 1, values.size() - 1);
    return values.at(nIndex);
}

CResultTable::Row& CResultTable::Add(const QString& sFigure, const QString& sTarget, int nDecimals)
{
    m_rows.push_back({ sFigure, {}, {}, sTarget, {}, nDecimals });
    return m_rows.back();
}

void CResultTable::Print() const
{
    const QStringList header { "figure", "median", "min", "max", "baseline median", "ratio", "target",
        "met" };
    QVector<QStringList> lines { header };
    for (const Row& row : m_rows) {
        const double dMedian = Median(row.panel);
        const double dBaseline = Median(row.baseline);
        const auto range = std::minmax_element(row.panel.begin(), row.panel.end());
        const bool bHasRange = !row.panel.isEmpty();
        const double dRatio = row.baseline.isEmpty() || dBaseline == 0 ? std::nan("") : dMedian / dBaseline;
        const bool bMet = row.met && !row.panel.isEmpty() && row.met(dMedian, dBaseline);
        lines.append({ row.sFigure, Number(dMedian, row.nDecimals),
            bHasRange ? Number(*range.first, row.nDecimals) : "-",
            bHasRange ? Number(*range.second, row.nDecimals) : "-", Number(dBaseline, row.nDecimals),
            Number(dRatio, 2), row.sTarget, row.met ? (bMet ? "yes" : "NO") : "-" });
    }
    QVector<int> widths(header.size(), 0);
    for (const QStringList& line : lines) {
        for (int i = 0; i < line.size(); ++i)
            widths[i] = qMax(widths[i], line.at(i).size());
    }
    for (int nLine = 0; nLine < lines.size(); ++nLine) {
        QStringList cells;
        for (int i = 0; i < header.size(); ++i)
            cells << (i == 0 || i >= 6 ? lines[nLine][i].leftJustified(widths[i])
                                       : lines[nLine][i].rightJustified(widths[i]));
        std::printf("| %s |\n", qPrintable(cells.join(QStringLiteral(" | "))));
        if (nLine == 0) {
            QStringList rule;
            for (int nWidth : widths)
                rule << QString(nWidth, QLatin1Char('-'));
            std::printf("|-%s-|\n", qPrintable(rule.join(QStringLiteral("-|-"))));
        }
    }
    std::fflush(stdout);
}
