#include "core/selection_color.h"

#include "platform/platform.h"

namespace selection_color {
namespace {

struct Entry {
    const char* name;
    float light[3];
    float dark[3];
};

const Entry& entry(SelectionColor c) {
    static const Entry table[] = {
        {"Dark gray", {0.34f, 0.35f, 0.38f}, {0.54f, 0.56f, 0.60f}},
        {"Silver", {0.61f, 0.64f, 0.68f}, {0.77f, 0.79f, 0.82f}},
        {"Blue", {0.00f, 0.43f, 0.88f}, {0.00f, 0.43f, 0.88f}},
        {"Burgundy", {0.55f, 0.12f, 0.26f}, {0.79f, 0.38f, 0.51f}},
        {"Blush", {0.71f, 0.34f, 0.45f}, {0.84f, 0.52f, 0.61f}},
        {"Cyan", {0.02f, 0.58f, 0.63f}, {0.30f, 0.72f, 0.76f}},
        {"Terminal green", {0.02f, 0.49f, 0.10f}, {0.22f, 0.76f, 0.31f}},
        {"Orange red", {0.78f, 0.27f, 0.12f}, {0.91f, 0.47f, 0.32f}},
        {"Cyber ginger", {0.73f, 0.79f, 0.27f}, {233 / 255.0f, 242 / 255.0f, 112 / 255.0f}},
        {"Indigo", {0.31f, 0.29f, 0.57f}, {0.60f, 0.57f, 0.79f}},
    };
    return table[static_cast<int>(c)];
}

}  // namespace

QColor color(SelectionColor selection, platform::Appearance scheme) {
    const bool dark = scheme == platform::Appearance::darkAqua;
    if (selection == SelectionColor::blue && dark) {
        QColor accent = platform::application().accentColor();
        accent.setAlphaF(1.0f);
        return accent;
    }
    const float* rgb = dark ? entry(selection).dark : entry(selection).light;
    return QColor::fromRgbF(rgb[0], rgb[1], rgb[2], 1.0f);
}

QString displayName(SelectionColor selection) { return QString::fromUtf8(entry(selection).name); }

QColor currentColor(platform::Appearance scheme) { return color(settings::readSelectionColor(), scheme); }

}  // namespace selection_color
