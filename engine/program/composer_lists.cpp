#include "program/composer_lists.h"

#include "program/spaces.h"
#include "program/vocabulary.h"

#include <algorithm>

namespace zelk {

namespace {

// An item: the code, and its label after ":" where it has one.
std::string item(std::string_view code, std::string_view label) {
    return label.empty() ? std::string(code) : std::string(code).append(":").append(label);
}

// The items of each list, built once from the vocabulary, and views of them for the callers' spans.
class FixedLists {
public:
    FixedLists() {
        for (const auto& entry : kConnectives)
            add(ComposerList::Next, entry.code, entry.label);
        for (const OperandKind kind : kObjectKinds)
            addKind(ComposerList::Obj, kind);
        add(ComposerList::ObjData, {}, {});
        for (const SystemVariable variable : kObjectSystemVariables) {
            const auto& entry = entryOf(kSystemVariables, variable);
            add(ComposerList::ObjData, entry.code, entry.label);
        }
        for (const auto& entry : kComparisonKinds)
            add(ComposerList::Cmp, entry.code, entry.label);
        add(ComposerList::CmpData, {}, {});
        for (const auto& entry : kPinStates)
            add(ComposerList::CmpData, entry.code, entry.label);
        for (const auto& entry : kComparisons)
            add(ComposerList::CmpData, entry.code, entry.label);
        for (const OperandKind kind : kValueKinds)
            addKind(ComposerList::Val, kind);
        for (const auto& entry : kActions)
            add(ComposerList::Exec, entry.code, entry.label);
        add(ComposerList::ValData, {}, {});
        add(ComposerList::ExecData, {}, {});
        for (std::size_t list = 0; list < kComposerLists; ++list)
            for (const std::string& text : items_[list])
                views_[list].push_back(text);
    }
    std::span<const std::string_view> items(ComposerList list) const {
        return views_[static_cast<std::size_t>(list)];
    }

private:
    void add(ComposerList list, std::string_view code, std::string_view label) {
        items_[static_cast<std::size_t>(list)].push_back(item(code, label));
    }
    void addKind(ComposerList list, OperandKind kind) {
        const auto& entry = entryOf(kOperandKinds, kind);
        add(list, entry.code, entry.label);
    }

    std::array<std::vector<std::string>, kComposerLists> items_;
    std::array<std::vector<std::string_view>, kComposerLists> views_;
};

std::string shown(ComposerList list, const std::string& field, std::span<const std::string> variableItems) {
    // An editable list shows stored data without its padding; data of spaces only is no data.
    const std::string_view data = isEditable(list) ? withoutPadding(field) : std::string_view(field);
    const std::string_view wanted = data.empty() ? data : std::string_view(field);
    const auto begins = [wanted](std::string_view item) { return item.starts_with(wanted); };
    const std::span<const std::string_view> items = fixedItems(list);
    if (const auto found = std::find_if(items.begin(), items.end(), begins); found != items.end())
        return std::string(*found);
    if (isEditable(list)) { // the editable lists are the ones that carry the variable items
        if (const auto found = std::find_if(variableItems.begin(), variableItems.end(), begins);
            found != variableItems.end())
            return *found;
        return std::string(data);
    }
    return std::string(items.front());
}

} // namespace

std::span<const std::string_view> fixedItems(ComposerList list) {
    static const FixedLists lists;
    return lists.items(list);
}

bool isEditable(ComposerList list) {
    return list == ComposerList::ObjData || list == ComposerList::ValData || list == ComposerList::ExecData;
}

std::string variableItem(int index, std::string_view name) {
    name = trimSpaces(name);
    if (name.empty()) return {};
    std::string item(12, ' ');
    item[0] = static_cast<char>('0' + index / 10 % 10);
    item[1] = static_cast<char>('0' + index % 10);
    return item.append(":").append(name);
}

LineTexts composerTexts(const std::array<std::string, kComposerLists>& fields,
                        std::span<const std::string> variableItems) {
    const auto text = [&](ComposerList list) {
        return shown(list, fields[static_cast<std::size_t>(list)], variableItems);
    };
    return {text(ComposerList::Next),    text(ComposerList::Obj),     text(ComposerList::ObjData),
            text(ComposerList::Cmp),     text(ComposerList::CmpData), text(ComposerList::Val),
            text(ComposerList::ValData), text(ComposerList::Exec),    text(ComposerList::ExecData)};
}

} // namespace zelk
