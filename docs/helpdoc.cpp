// Typesets the help document: helpdoc <source.html> <output.pdf>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tritodex_helpdoc <source.html> <output.pdf>\n");
        return 2;
    }
    QFile fuente(QString::fromLocal8Bit(argv[1]));
    if (!fuente.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
    pdf.setTitle(QStringLiteral("Tritodex: tutorial"));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(fuente.readAll()));
    doc.print(&pdf);
    return 0;
}
