// Renders the Markdown user guide into a PDF at build time: guide-pdf <input.md> <output.pdf>.
#include <QFile>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

namespace {

bool ReadText(const QString& sPath, QString* pText)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "guide-pdf: cannot read %s: %s\n", qPrintable(sPath), qPrintable(file.errorString()));
        return false;
    }
    *pText = QString::fromUtf8(file.readAll());
    return true;
}

bool WritePdf(const QString& sMarkdown, const QString& sPath)
{
    QPdfWriter writer(sPath);
    writer.setTitle(QStringLiteral("Ombix Camera Control - Quick Start Guide"));
    writer.setCreator(QStringLiteral("Ombix Camera Control"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                     QPageLayout::Millimeter));
    writer.setResolution(300);

    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setMarkdown(sMarkdown);
    document.print(&writer);
    return QFile::exists(sPath) && QFile(sPath).size() > 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: guide-pdf <input.md> <output.pdf>\n");
        return 2;
    }
    QString sMarkdown;
    if (!ReadText(arguments.at(1), &sMarkdown))
        return 1;
    if (!WritePdf(sMarkdown, arguments.at(2))) {
        std::fprintf(stderr, "guide-pdf: cannot write %s\n", qPrintable(arguments.at(2)));
        return 1;
    }
    return 0;
}
