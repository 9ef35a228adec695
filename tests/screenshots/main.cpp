// Renders every registered scene offscreen into <out>/<name>.png.
// Usage: corvina_screenshots OUTPUT_DIR [NAME...]

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "Scene.h"

namespace corvina::screenshots {

namespace {
std::map<std::string, SceneFunction>& Scenes() {
    static std::map<std::string, SceneFunction> scenes;
    return scenes;
}
}  // namespace

bool RegisterScene(const char* name, SceneFunction render) {
    Scenes().emplace(name, std::move(render));
    return true;
}

QImage Grab(QWidget& widget) {
    widget.show();
    QApplication::processEvents();
    return widget.grab().toImage();
}

}  // namespace corvina::screenshots

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "Usage: corvina_screenshots OUTPUT_DIR [NAME...]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "Cannot create the folder %s.\n", argv[1]);
        return 1;
    }
    int failures = 0;
    for (const auto& [name, render] : corvina::screenshots::Scenes()) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; ++i)
            wanted = wanted || name == argv[i];
        if (!wanted)
            continue;
        const QImage image = render();
        const QString file = out + "/" + QString::fromStdString(name) + ".png";
        if (image.isNull() || !image.save(file)) {
            std::fprintf(stderr, "%s: not written\n", name.c_str());
            ++failures;
            continue;
        }
        std::printf("%s\n", file.toLocal8Bit().constData());
    }
    return failures == 0 ? 0 : 1;
}
