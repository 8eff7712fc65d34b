// Renders the Markdown user guide into a PDF at build time: guide-pdf <input.md> <output.pdf> [picture...].
// A picture is found by its file name in the guide's image links, and shown no wider than the text.
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdio>

namespace {

// The widest a picture is shown, in the document's units (1/96 inch): the text width of A4 with the 2 cm
// margins that printing gives the document.
constexpr qreal kMaxPictureWidth = (210.0 - 2 * 20.0) / 25.4 * 96.0;

const QString kBodyFont = QStringLiteral("DejaVu Sans");
const QString kCodeFont = QStringLiteral("DejaVu Sans Mono");

bool ReadText(const QString& sPath, QString* pText)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(
            stderr, "guide-pdf: cannot read %s: %s\n", qPrintable(sPath), qPrintable(file.errorString()));
        return false;
    }
    *pText = QString::fromUtf8(file.readAll());
    return true;
}

bool AddPictures(QTextDocument* pDocument, const QStringList& picturePaths)
{
    for (const QString& sPath : picturePaths) {
        QImage picture(sPath);
        if (picture.isNull()) {
            std::fprintf(stderr, "guide-pdf: cannot read the picture %s\n", qPrintable(sPath));
            return false;
        }
        picture.setDevicePixelRatio(2);
        pDocument->addResource(QTextDocument::ImageResource, QUrl(QFileInfo(sPath).fileName()), picture);
    }
    return true;
}

// The format a fragment is printed with: code spans and blocks in the fixed-width face, pictures scaled down
// to the text width. False when the fragment keeps its format.
bool PrintFormat(const QTextDocument& document, QTextCharFormat* pFormat)
{
    if (pFormat->isImageFormat()) {
        QTextImageFormat imageFormat = pFormat->toImageFormat();
        const QImage picture
            = document.resource(QTextDocument::ImageResource, QUrl(imageFormat.name())).value<QImage>();
        const QSizeF size = picture.size() / picture.devicePixelRatio();
        const qreal scale = qMin(1.0, kMaxPictureWidth / size.width());
        imageFormat.setWidth(size.width() * scale);
        imageFormat.setHeight(size.height() * scale);
        *pFormat = imageFormat;
        return true;
    }
    // The Markdown reader gives code the platform's fixed-width font, which need not be fixed-width at all
    // (the offscreen platform names a proportional face).
    if (pFormat->fontFamily() != QFontDatabase::systemFont(QFontDatabase::FixedFont).family())
        return false;
    pFormat->setFontFamily(kCodeFont);
    pFormat->setFontFixedPitch(true);
    return true;
}

void FormatFragments(QTextDocument* pDocument)
{
    // Collected first: changing a format merges and splits the fragments being walked.
    QList<QPair<QTextFragment, QTextCharFormat>> changes;
    for (QTextBlock block = pDocument->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextCharFormat format = it.fragment().charFormat();
            if (PrintFormat(*pDocument, &format))
                changes.append({ it.fragment(), format });
        }
    }
    for (const auto& change : qAsConst(changes)) {
        QTextCursor cursor(pDocument);
        cursor.setPosition(change.first.position());
        cursor.setPosition(change.first.position() + change.first.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(change.second);
    }
}

bool WritePdf(const QString& sMarkdown, const QStringList& picturePaths, const QString& sPath)
{
    QPdfWriter writer(sPath);
    writer.setTitle(QStringLiteral("Ombix Camera Control - Quick Start Guide"));
    writer.setCreator(QStringLiteral("Ombix Camera Control"));
    writer.setPageLayout(QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    writer.setResolution(300);

    QTextDocument document;
    QFont font(kBodyFont);
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    // Resources after the text: setting the text clears them.
    document.setMarkdown(sMarkdown);
    if (!AddPictures(&document, picturePaths))
        return false;
    FormatFragments(&document);
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
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: guide-pdf <input.md> <output.pdf> [picture...]\n");
        return 2;
    }
    QString sMarkdown;
    if (!ReadText(arguments.at(1), &sMarkdown))
        return 1;
    if (!WritePdf(sMarkdown, arguments.mid(3), arguments.at(2))) {
        std::fprintf(stderr, "guide-pdf: cannot write %s\n", qPrintable(arguments.at(2)));
        return 1;
    }
    return 0;
}
