#include "shell/window/window_layout.h"

#include <algorithm>
#include <cstdlib>

namespace vt {

int WindowLayout::find(std::string_view name) const noexcept {
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

std::vector<std::vector<int>> stack_rows(std::span<const int> parents) {
    std::vector<std::vector<int>> children(parents.size());
    for (std::size_t row = 1; row < parents.size(); ++row) {
        const int parent = parents[row];
        std::vector<int>& siblings = children[static_cast<std::size_t>(parent)];
        int nearest_earlier = -1;
        for (std::size_t earlier = row - 1; earlier >= 1; --earlier) {
            if (parents[earlier] == parent) {
                nearest_earlier = static_cast<int>(earlier);
                break;
            }
        }
        if (nearest_earlier < 0) {
            siblings.insert(siblings.begin(), static_cast<int>(row));
        } else {
            const auto above = std::find(siblings.begin(), siblings.end(), nearest_earlier);
            siblings.insert(above + 1, static_cast<int>(row));
        }
    }
    return children;
}

namespace {

// Each row's parent index, or nothing when some parent is unknown.
std::optional<std::vector<int>> resolve_parents(std::span<const LayoutRow> rows) {
    std::vector<int> parents(rows.size(), -1);
    for (std::size_t row = 1; row < rows.size(); ++row) {
        const auto named = std::find_if(rows.begin(), rows.end(),
                                        [&](const LayoutRow& r) { return r.name == rows[row].parent; });
        if (named == rows.end() || static_cast<std::size_t>(named - rows.begin()) == row) return std::nullopt;
        parents[row] = static_cast<int>(named - rows.begin());
    }
    return parents;
}

// Window-system coordinates are 16-bit; keeping every row within them also
// keeps the sums along a chain of parents far from int overflow.
constexpr int MAX_COORDINATE = 32767;

bool within_coordinates(const LayoutRow& r) {
    return std::abs(r.x) <= MAX_COORDINATE && std::abs(r.y) <= MAX_COORDINATE && r.width <= MAX_COORDINATE &&
           r.height <= MAX_COORDINATE;
}

bool rows_are_sound(std::span<const LayoutRow> rows) {
    if (rows.empty()) return false;
    if (rows[0].kind != ControlKind::window || !rows[0].parent.empty()) return false;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const LayoutRow& r = rows[row];
        if (r.name.empty() || r.width <= 0 || r.height <= 0 || !within_coordinates(r)) return false;
        if (row > 0 && r.kind == ControlKind::window) return false;
        for (std::size_t other = 0; other < row; ++other) {
            if (rows[other].name == r.name) return false;
        }
    }
    return true;
}

// Parents before children; nothing when the parents form a cycle.
std::optional<std::vector<int>> creation_order(std::span<const int> parents) {
    std::vector<int> order{0};
    std::vector<bool> created(parents.size(), false);
    created[0] = true;
    while (order.size() < parents.size()) {
        const std::size_t before = order.size();
        for (std::size_t row = 1; row < parents.size(); ++row) {
            if (!created[row] && created[static_cast<std::size_t>(parents[row])]) {
                created[row] = true;
                order.push_back(static_cast<int>(row));
            }
        }
        if (order.size() == before) return std::nullopt;
    }
    return order;
}

}  // namespace

std::optional<WindowLayout> read_layout(std::span<const LayoutRow> rows) {
    if (!rows_are_sound(rows)) return std::nullopt;
    const std::optional<std::vector<int>> parents = resolve_parents(rows);
    if (!parents) return std::nullopt;
    std::optional<std::vector<int>> order = creation_order(*parents);
    if (!order) return std::nullopt;

    WindowLayout layout;
    layout.controls.resize(rows.size());
    std::vector<std::vector<int>> children = stack_rows(*parents);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        ControlLayout& control = layout.controls[row];
        control.name = std::string(rows[row].name);
        control.kind = rows[row].kind;
        control.parent = (*parents)[row];
        control.visible_at_start = rows[row].visible_at_start;
        control.children = std::move(children[row]);
    }
    // The window's client area starts at (0, 0) wherever the window is put.
    const LayoutRow& top = rows[0];
    layout.controls[0].bounds = {0, 0, top.width, top.height};
    layout.controls[0].visible_area = layout.controls[0].bounds;
    for (const int row : *order) {
        if (row == 0) continue;
        ControlLayout& control = layout.controls[static_cast<std::size_t>(row)];
        const ControlLayout& parent = layout.controls[static_cast<std::size_t>(control.parent)];
        const LayoutRow& r = rows[static_cast<std::size_t>(row)];
        control.bounds = {parent.bounds.x + r.x, parent.bounds.y + r.y, r.width, r.height};
        control.visible_area = intersect(control.bounds, parent.visible_area);
    }
    layout.creation_order = std::move(*order);
    return layout;
}

}  // namespace vt
