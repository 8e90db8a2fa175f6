// Renders every registered gallery picture into the folder given as argument.
#include "gallery.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QWidget>
#include <cstdio>

std::vector<std::pair<const char*, GalleryRenderer>>& GalleryRenderers()
{
    static std::vector<std::pair<const char*, GalleryRenderer>> renderers;
    return renderers;
}

void GalleryOutput::Save(QWidget* widget, const QString& name)
{
    widget->show();
    QCoreApplication::processEvents();
    Save(widget->grab().toImage(), name);
}

void GalleryOutput::Save(const QImage& image, const QString& name)
{
    QString path = m_folder + '/' + name + QStringLiteral(".png");
    if (image.save(path))
        ++m_count;
    else
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    QDir().mkpath(folder);
    GalleryOutput out(folder);
    for (auto& [name, render] : GalleryRenderers()) {
        std::printf("%s\n", name);
        render(out);
    }
    std::printf("%d pictures in %s\n", out.Count(), qPrintable(folder));
    return out.Count() > 0 ? 0 : 1;
}
