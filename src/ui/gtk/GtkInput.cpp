#include "ui/gtk/GtkInput.h"

#include "ui/Messages.h"

namespace ui::gtk {
namespace {

// Keys the framework names beyond letters, digits and function keys (platform values).
struct KeyName {
  guint keyval;
  unsigned vk;
};
constexpr KeyName kKeys[] = {
    {GDK_KEY_BackSpace, kVkBack},
    {GDK_KEY_Tab, kVkTab},
    {GDK_KEY_ISO_Left_Tab, kVkTab},
    {GDK_KEY_Return, kVkReturn},
    {GDK_KEY_KP_Enter, kVkReturn},
    {GDK_KEY_ISO_Enter, kVkReturn},
    {GDK_KEY_Shift_L, kVkShift},
    {GDK_KEY_Shift_R, kVkShift},
    {GDK_KEY_Control_L, kVkControl},
    {GDK_KEY_Control_R, kVkControl},
    {GDK_KEY_Alt_L, kVkMenu},
    {GDK_KEY_Alt_R, kVkMenu},
    {GDK_KEY_Escape, kVkEscape},
    {GDK_KEY_space, kVkSpace},
    {GDK_KEY_KP_Space, kVkSpace},
    {GDK_KEY_Page_Up, 0x21},
    {GDK_KEY_Page_Down, 0x22},
    {GDK_KEY_End, 0x23},
    {GDK_KEY_Home, 0x24},
    {GDK_KEY_Left, kVkLeft},
    {GDK_KEY_Up, kVkUp},
    {GDK_KEY_Right, kVkRight},
    {GDK_KEY_Down, kVkDown},
    {GDK_KEY_KP_Left, kVkLeft},
    {GDK_KEY_KP_Up, kVkUp},
    {GDK_KEY_KP_Right, kVkRight},
    {GDK_KEY_KP_Down, kVkDown},
    {GDK_KEY_Insert, 0x2D},
    {GDK_KEY_Delete, 0x2E},
    {GDK_KEY_KP_Delete, 0x2E},
};

bool IsShift(guint keyval) { return keyval == GDK_KEY_Shift_L || keyval == GDK_KEY_Shift_R; }
bool IsControl(guint keyval) { return keyval == GDK_KEY_Control_L || keyval == GDK_KEY_Control_R; }
bool IsAlt(guint keyval) {
  return keyval == GDK_KEY_Alt_L || keyval == GDK_KEY_Alt_R || keyval == GDK_KEY_Meta_L ||
         keyval == GDK_KEY_Meta_R;
}

}  // namespace

unsigned VirtualKeyFromKeyval(guint keyval) {
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) {
    return 'A' + (keyval - GDK_KEY_a);
  }
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) {
    return 'A' + (keyval - GDK_KEY_A);
  }
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) {
    return '0' + (keyval - GDK_KEY_0);
  }
  if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) {
    return 0x60 + (keyval - GDK_KEY_KP_0);
  }
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) {
    return kVkF1 + (keyval - GDK_KEY_F1);
  }
  for (const KeyName& k : kKeys) {
    if (k.keyval == keyval) {
      return k.vk;
    }
  }
  return 0;
}

unsigned KeyFlagsFromState(guint state) {
  unsigned flags = 0;
  if (state & GDK_BUTTON1_MASK) {
    flags |= kMkLButton;
  }
  if (state & GDK_BUTTON2_MASK) {
    flags |= kMkMButton;
  }
  if (state & GDK_BUTTON3_MASK) {
    flags |= kMkRButton;
  }
  if (state & GDK_SHIFT_MASK) {
    flags |= kMkShift;
  }
  if (state & GDK_CONTROL_MASK) {
    flags |= kMkControl;
  }
  return flags;
}

unsigned FlagsAfterButton(guint state, guint button, bool pressed) {
  unsigned flags = KeyFlagsFromState(state);
  unsigned bit = button == 1 ? kMkLButton : button == 2 ? kMkMButton : button == 3 ? kMkRButton : 0;
  return pressed ? (flags | bit) : (flags & ~bit);
}

unsigned FlagsAfterKey(guint state, guint keyval, bool pressed) {
  unsigned flags = KeyFlagsFromState(state);
  // Alt counts for keys only: a drag with Alt held is still a plain drag.
  if (state & GDK_MOD1_MASK) {
    flags |= kMkAlt;
  }
  unsigned bit = IsShift(keyval)     ? kMkShift
                 : IsControl(keyval) ? kMkControl
                 : IsAlt(keyval)     ? kMkAlt
                                     : 0;
  return pressed ? (flags | bit) : (flags & ~bit);
}

bool ClickSequence::IsDoubleClick(const Press& press, guint maxMilliseconds, int maxDistance) {
  const bool isDouble = armed_ && press.window == last_.window && press.button == last_.button &&
                        press.time - last_.time <= maxMilliseconds &&
                        std::fabs(press.x - last_.x) <= maxDistance &&
                        std::fabs(press.y - last_.y) <= maxDistance;
  armed_ = !isDouble;
  last_ = press;
  return isDouble;
}

}  // namespace ui::gtk
