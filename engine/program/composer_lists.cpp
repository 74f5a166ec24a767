#include "program/composer_lists.h"

#include "program/spaces.h"

#include <algorithm>

namespace zelk {

namespace {

constexpr std::string_view kNext[] = {"NONE:なし", "NEW :新規", "NEXT:前行続き", "AND :かつ", "OR  :または"};
constexpr std::string_view kObj[] = {"NONE:なし", "PIN :ピン", "VAR :変数", "SVAR:システム変数"};
constexpr std::string_view kObjData[] = {"", "10MS CNT    :ミリ秒カウンタ"};
constexpr std::string_view kCmp[] = {"NONE:なし", "STS :状態チェック", "COMP:比較"};
constexpr std::string_view kCmpData[] = {"",
                                         "CHANGE      :変化",
                                         "STOP->ELEC  :電断->通電",
                                         "ELEC->STOP  :通電->電断",
                                         "ELEC        :通電",
                                         "STOP        :電断",
                                         "=           ",
                                         "<           ",
                                         ">           ",
                                         "<=          ",
                                         ">=          ",
                                         "<>          "};
constexpr std::string_view kVal[] = {"NONE:なし", "CNST:固定値", "VAR :変数", "SVAR:システム変数"};
constexpr std::string_view kData[] = {""};
constexpr std::string_view kExec[] = {"NONE:なし", "OUT :固定出力",   "OUTR:反転出力",
                                      "CALC:計算", "CLIP:ｸﾘｯﾌﾟﾎﾞｰﾄﾞ", "LOG :ログ出力"};

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
    switch (list) {
    case ComposerList::Next:
        return kNext;
    case ComposerList::Obj:
        return kObj;
    case ComposerList::ObjData:
        return kObjData;
    case ComposerList::Cmp:
        return kCmp;
    case ComposerList::CmpData:
        return kCmpData;
    case ComposerList::Val:
        return kVal;
    case ComposerList::Exec:
        return kExec;
    case ComposerList::ValData:
    case ComposerList::ExecData:
        break;
    }
    return kData;
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
