#pragma once
// Gallery renderers: each source registers functions that render pictures
// into the output folder.
//
//   GALLERY_RENDERER(selectors) { out.Save(widget, "selector_focused"); }

#include <QString>
#include <functional>
#include <vector>

class QWidget;
class QImage;

class GalleryOutput {
public:
    explicit GalleryOutput(QString folder) : m_folder(std::move(folder)) {}
    // Renders the widget (shown offscreen at its current size) to <name>.png.
    void Save(QWidget* widget, const QString& name);
    void Save(const QImage& image, const QString& name);
    int Count() const { return m_count; }

private:
    QString m_folder;
    int m_count = 0;
};

using GalleryRenderer = std::function<void(GalleryOutput&)>;
std::vector<std::pair<const char*, GalleryRenderer>>& GalleryRenderers();

struct GalleryRegistration {
    GalleryRegistration(const char* name, GalleryRenderer renderer)
    {
        GalleryRenderers().emplace_back(name, std::move(renderer));
    }
};

#define GALLERY_RENDERER(name)                                                                     \
    static void gallery_##name(GalleryOutput& out);                                                \
    static GalleryRegistration gallery_registration_##name(#name, gallery_##name);                 \
    static void gallery_##name(GalleryOutput& out)
