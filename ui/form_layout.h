#pragma once
// The one table of the main window's controls that both front ends build
// from: captions, positions (client pixels at 96 dpi), sizes and tab order.
#include <array>
#include <cstddef>

#include "tracking/messages.h"

enum class ControlKind { Label, Button, Edit };

// The controls in creation order, which is also the stacking order.
enum class ControlId {
  Label1,   // the target's size
  Label2,   // "tracking area:"
  Label3,   // the area's size
  Label4,   // the default interval
  Button1,  // captures the top-left corner
  Button2,  // captures the bottom-right corner
  Button3,  // captures the colour
  Edit1,    // left X
  Edit2,    // top Y
  Edit3,    // right X
  Edit4,    // bottom Y
  Edit5,    // the target colour
  Button4,  // starts tracking
  Edit6,    // the interval in ms
};

struct ControlSpec {
  ControlId id;
  const char* name;
  ControlKind kind;
  int left, top, width, height;
  const char* text;  // UTF-8
  int tabOrder;      // -1: takes no focus
};

struct FormSpec {
  const char* caption;
  int clientWidth, clientHeight;
  const char* fontFamily;
  int fontPixelHeight;  // 8 pt at 96 dpi
};

inline constexpr FormSpec kForm1{"Form1", 356, 188, "Tahoma", 11};

// Indexed by ControlId; one control a line, which the test scripts read
// (scripts/lib/form.sh).
// clang-format off
inline constexpr std::array<ControlSpec, 14> kForm1Controls{{
    {ControlId::Label1, "Label1", ControlKind::Label, 8, 111, 127, 13, "Размеры кнопки 200 * 30", -1},
    {ControlId::Label2, "Label2", ControlKind::Label, 8, 130, 80, 13, "Поле слежения ", -1},
    {ControlId::Label3, "Label3", ControlKind::Label, 94, 130, 29, 13, "W * H", -1},
    {ControlId::Label4, "Label4", ControlKind::Label, 210, 120, 136, 13, "Дефоулт интервал минута", -1},
    {ControlId::Button1, "Button1", ControlKind::Button, 8, 8, 233, 25, "Верхняя левая точка отслеживания", 0},
    {ControlId::Button2, "Button2", ControlKind::Button, 8, 32, 233, 25, "Нижняя правая точка отслеживания", 1},
    {ControlId::Button3, "Button3", ControlKind::Button, 8, 56, 233, 25, "Цвет", 2},
    {ControlId::Edit1, "Edit1", ControlKind::Edit, 247, 8, 50, 21, "X", 3},
    {ControlId::Edit2, "Edit2", ControlKind::Edit, 303, 8, 50, 21, "Y", 4},
    {ControlId::Edit3, "Edit3", ControlKind::Edit, 247, 35, 50, 21, "X", 5},
    {ControlId::Edit4, "Edit4", ControlKind::Edit, 303, 35, 50, 21, "Y", 6},
    {ControlId::Edit5, "Edit5", ControlKind::Edit, 247, 58, 106, 21, "Color", 7},
    {ControlId::Button4, "Button4", ControlKind::Button, 8, 80, 233, 25, "Начать слежение", 8},
    {ControlId::Edit6, "Edit6", ControlKind::Edit, 247, 82, 106, 21, kIntervalPlaceholder, 9},
}};
// clang-format on

constexpr std::size_t IndexOf(ControlId id) { return static_cast<std::size_t>(id); }

constexpr bool TableFollowsIds() {
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i)
    if (IndexOf(kForm1Controls[i].id) != i) return false;
  return true;
}
static_assert(TableFollowsIds(), "kForm1Controls must list the controls in ControlId order");

constexpr const ControlSpec& SpecOf(ControlId id) { return kForm1Controls[IndexOf(id)]; }
