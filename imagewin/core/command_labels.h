// The texts the image windows show for their commands: each command's menu text with the
// modifier and key of its current binding, and the tooltips of the two button bars.
#pragma once

#include <cstdint>
#include <string>

#include "shell/core/key_table.h"
#include "shell/core/menu_rules.h"

// One row per image-window command, in key-table order. Every owner-drawn menu draws from a
// MenuItemLabel: the image windows' items point at a row's label part, so rows are updated in
// place, never moved. `modifier` is "Shift+", "Ctrl+", "Ctrl+Shift+" or empty; an empty `key`
// means the command has no key.
struct CommandLabel : MenuItemLabel {
    CommandLabel() : MenuItemLabel{u"", u"", u""} {}
    uint16_t cmd = 0;
};

struct CommandLabels {
    CommandLabel rows[kViewKeyCount];
};

// The fixed text of an image-window command, or the empty string for a command outside the
// table.
const char16_t* command_text(uint16_t cmd);

// Sets every row's command, text, modifier and key from the 90 entries of the image-window
// key table.
void update_command_labels(const KeyEntry* entries, CommandLabels* labels);
// The row of `cmd`, or null.
const CommandLabel* find_command_label(const CommandLabels& labels, uint16_t cmd);

// A bar button's tooltip: the text alone, or the text followed by " (modifier key)" when the
// command has a key.
std::u16string command_tooltip(const CommandLabel& label);
// The save-option buttons of the edit window carry fixed tooltips without keys, each naming what
// its own button switches; null for any other command.
const char16_t* save_option_tooltip(uint16_t cmd);

// The buttons each bar gives a tooltip, in bar order.
constexpr uint16_t kSingleViewBarCommands[] = {8000, 8100, 8101, 8111, 8112, 8130, 8131, 8010,
                                               8012, 8013, 8011, 8020, 8201, 8200, 8202, 8203};
constexpr uint16_t kEditBarCommands[] = {8000, 8031, 8401, 8402, 8220, 8230,
                                         8231, 8232, 8150, 8111, 8112, 8330};
constexpr uint16_t kEditSaveOptionCommands[] = {8600, 8610, 8620, 8630, 8631, 8640, 8641,
                                                8642, 8650, 8651, 8652, 8660, 8670};
