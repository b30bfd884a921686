#include "ui/control_names.h"

namespace tarvex::ui {
namespace {

bool isLabel(const res::DialogControl& control) {
    return control.kind == res::ControlKind::Static && control.id == res::kNoId;
}

bool holds(const res::DluRect& outer, const res::DluRect& inner) {
    // In 64 bits: a template's coordinates are small, but their sums must not overflow.
    const auto right = [](const res::DluRect& rect) {
        return static_cast<long long>(rect.x) + rect.width;
    };
    const auto bottom = [](const res::DluRect& rect) {
        return static_cast<long long>(rect.y) + rect.height;
    };
    return inner.x >= outer.x && inner.y >= outer.y && right(inner) <= right(outer) &&
           bottom(inner) <= bottom(outer);
}

long long area(const res::DluRect& rect) {
    return static_cast<long long>(rect.width) * rect.height;
}

} // namespace

bool takesNameFromTemplate(res::ControlKind kind) {
    return kind == res::ControlKind::Edit || kind == res::ControlKind::ComboBox ||
           kind == res::ControlKind::Trackbar;
}

std::optional<std::size_t> namingControl(std::span<const res::DialogControl> controls,
                                         std::size_t index) {
    if (index >= controls.size() || !takesNameFromTemplate(controls[index].kind)) {
        return std::nullopt;
    }
    if (index > 0 && isLabel(controls[index - 1])) {
        return index - 1;
    }
    std::optional<std::size_t> group;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const res::DialogControl& box = controls[i];
        if (box.kind != res::ControlKind::GroupBox || box.text.empty() ||
            !holds(box.rect, controls[index].rect)) {
            continue;
        }
        if (!group || area(box.rect) < area(controls[*group].rect)) {
            group = i;
        }
    }
    return group;
}

} // namespace tarvex::ui
