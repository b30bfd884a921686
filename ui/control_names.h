#pragma once

#include "res/dialog_template.h"

#include <cstddef>
#include <optional>
#include <span>

namespace tarvex::ui {

// Whether screen readers need a name for the control from the template (an edit, a combo box, a
// slider); buttons, check boxes and statics carry their own text.
[[nodiscard]] bool takesNameFromTemplate(res::ControlKind kind);

// The control of `controls` whose caption names controls[index]: the label (a static without
// id) right before it in template order, which names that control alone; for a control with no
// label right before it, the innermost captioned group box whose rectangle holds it. Nothing for
// a control that takes no name, or finds none.
[[nodiscard]] std::optional<std::size_t> namingControl(std::span<const res::DialogControl> controls,
                                                       std::size_t index);

} // namespace tarvex::ui
