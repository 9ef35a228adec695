#pragma once
// `make screenshots`: each scene renders one window or widget offscreen
// into an image, saved as build/screenshots/<name>.png for review by eye.
// A scene file registers its scenes with CORVINA_SCENE.

#include <QImage>
#include <functional>

namespace corvina::screenshots {

using SceneFunction = std::function<QImage()>;

// Registers a scene; returns true so that it can initialise a static.
bool RegisterScene(const char* name, SceneFunction render);

// Renders a shown widget as it stands, after pending events.
QImage Grab(class QWidget& widget);

}  // namespace corvina::screenshots

#define CORVINA_SCENE_CAT2(a, b) a##b
#define CORVINA_SCENE_CAT(a, b) CORVINA_SCENE_CAT2(a, b)
// CORVINA_SCENE("editor-edit") { ...; return image; }
#define CORVINA_SCENE(name)                                                             \
    static QImage CORVINA_SCENE_CAT(Scene_, __LINE__)();                                \
    static const bool CORVINA_SCENE_CAT(sceneRegistered_, __LINE__) =                   \
        ::corvina::screenshots::RegisterScene(name, &CORVINA_SCENE_CAT(Scene_, __LINE__)); \
    static QImage CORVINA_SCENE_CAT(Scene_, __LINE__)()
