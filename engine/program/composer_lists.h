#pragma once
// The items of the line composer's nine lists (UTF-8), and the list texts that show a line: what the logic
// editor shows for a line and explains in words.
#include "program/explain_line.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// The nine lists, in the order of a line's fields.
enum class ComposerList { Next, Obj, ObjData, Cmp, CmpData, Val, ValData, Exec, ExecData };
inline constexpr std::size_t kComposerLists = 9;

// The fixed items of a list, in list order. The three data lists of object, value and action then carry
// the variable items.
std::span<const std::string_view> fixedItems(ComposerList list);
// Whether the list takes typed text besides its items (the data lists of object, value and action).
bool isEditable(ComposerList list);

// A variable's item: its index as two digits padded with spaces to 12 characters, ":" and its name without
// surrounding spaces. Named variables only: an empty name gives no item.
std::string variableItem(int index, std::string_view name);

// The list texts that show a line whose nine fields (UTF-8, in list order) are given: each list takes its
// first item that begins with the field's text (an editable list: the first item, when the field holds
// spaces only). Where none does, a fixed list takes its first item and an editable list shows the field's
// text without its padding.
LineTexts composerTexts(const std::array<std::string, kComposerLists>& fields,
                        std::span<const std::string> variableItems);

} // namespace zelk
