#pragma once
// The one table of the main window's controls that both front ends build
// from: captions, positions (client pixels at 96 dpi), sizes and tab order.
#include <array>

enum class ControlKind { Label, Button, Edit };

struct ControlSpec {
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

// In creation order, which is also the stacking order.
inline constexpr std::array<ControlSpec, 14> kForm1Controls{{
    {"Label1", ControlKind::Label, 8, 111, 127, 13, "Размеры кнопки 200 * 30", -1},
    {"Label2", ControlKind::Label, 8, 130, 80, 13, "Поле слежения ", -1},
    {"Label3", ControlKind::Label, 94, 130, 29, 13, "W * H", -1},
    {"Label4", ControlKind::Label, 210, 120, 136, 13, "Дефоулт интервал минута", -1},
    {"Button1", ControlKind::Button, 8, 8, 233, 25, "Верхняя левая точка отслеживания", 0},
    {"Button2", ControlKind::Button, 8, 32, 233, 25, "Нижняя правая точка отслеживания", 1},
    {"Button3", ControlKind::Button, 8, 56, 233, 25, "Цвет", 2},
    {"Edit1", ControlKind::Edit, 247, 8, 50, 21, "X", 3},
    {"Edit2", ControlKind::Edit, 303, 8, 50, 21, "Y", 4},
    {"Edit3", ControlKind::Edit, 247, 35, 50, 21, "X", 5},
    {"Edit4", ControlKind::Edit, 303, 35, 50, 21, "Y", 6},
    {"Edit5", ControlKind::Edit, 247, 58, 106, 21, "Color", 7},
    {"Button4", ControlKind::Button, 8, 80, 233, 25, "Начать слежение", 8},
    {"Edit6", ControlKind::Edit, 247, 82, 106, 21, "Интервал мс", 9},
}};

// Index of a control in kForm1Controls by name; the front ends look their
// widgets up once with this.
constexpr int ControlIndex(const char* name) {
  for (int i = 0; i < static_cast<int>(kForm1Controls.size()); ++i) {
    const char* a = kForm1Controls[i].name;
    const char* b = name;
    while (*a && *a == *b) ++a, ++b;
    if (*a == *b) return i;
  }
  return -1;
}
