// The layout rows read into a checked control tree: parents resolved,
// controls stacked, every control placed in window coordinates.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "shell/window/geometry.h"
#include "shell/window/main_layout.h"

namespace vt {

struct ControlLayout {
    std::string name;
    ControlKind kind = ControlKind::window;
    int parent = -1;          // index of the parent control; -1 for the window
    Rect bounds;              // in window coordinates
    Rect visible_area;        // bounds clipped by every ancestor's client area
    bool visible_at_start = false;
    std::vector<int> children;  // topmost first
};

struct WindowLayout {
    // Index 0 is the window, then one control per row in row order.
    std::vector<ControlLayout> controls;
    // Parents before children: the order the controls are created in.
    std::vector<int> creation_order;

    const ControlLayout& window() const { return controls.front(); }
    // The index of the control named `name`, or -1.
    int find(std::string_view name) const noexcept;
};

// Reads and checks the rows. Nothing comes back when the rows do not make a
// window: no rows, row 0 not a window with no parent, a later row that is a
// window, an empty or repeated name, a parent that no row names or that is
// the control itself or its descendant, a size that is not positive or a
// coordinate beyond 16 bits.
std::optional<WindowLayout> read_layout(std::span<const LayoutRow> rows);

// The children of each row, topmost first, by the stacking rule: taking the
// rows in order, a row goes directly below the nearest earlier row with the
// same parent, or on top of its siblings when there is none. `parents[i]` is
// the parent row of row i (-1 for row 0). Row 0 is never stacked.
std::vector<std::vector<int>> stack_rows(std::span<const int> parents);

}  // namespace vt
