#include "logic_editor/line_composer.h"

#include "common/combo_helpers.h"
#include "common/window_layout.h"
#include "program/composer_lists.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <string_view>

namespace zelk::console {

namespace {

// Rows of the frame (twips from its top) and the columns of their controls.
constexpr int kRowHeight = 315;
constexpr int kCodeLeft = 1200, kCodeWidth = 2175;
constexpr int kDataLeft = 3480, kDataWidth = 3135;
constexpr int kButtonLeft = 6720, kButtonWidth = 375;

QComboBox* newList(QWidget* parent, const char* name, bool editable, int left, int top, int width) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1StringView(name));
    list->setEditable(editable);
    if (editable) {
        list->setInsertPolicy(QComboBox::NoInsert); // typed text is the field, not a new item
        // No completion from the items: a typed constant "0" stays "0", not a variable's item text.
        list->setCompleter(nullptr);
    }
    list->setGeometry(twipsRect(left, top, width, kRowHeight));
    return list;
}

QPushButton* newButton(QWidget* parent, const char* name, const QString& caption, const QRect& place) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1StringView(name));
    button->setAutoDefault(false);
    button->setGeometry(place);
    return button;
}

// A list's fixed items, from the one place that also words lines for the checker.
void fill(QComboBox* list, ComposerList which) {
    list->clear();
    for (const std::string_view item : fixedItems(which))
        list->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
}

} // namespace

LineComposer::LineComposer(QTableWidget* grdLg, QWidget* parent) : QGroupBox(parent), grdLg_(grdLg) {
    setObjectName(QStringLiteral("frmEdit"));

    const std::array<std::pair<int, const char16_t*>, 7> captions{{{600, u"継続条件"},
                                                                   {960, u"比較対象"},
                                                                   {1320, u"比較方法"},
                                                                   {1680, u"比較値"},
                                                                   {2040, u"実行処理"},
                                                                   {240, u"行番号"},
                                                                   {2400, u"実行詳細"}}};
    for (std::size_t i = 0; i < Label1.size(); ++i) {
        Label1[i] = new QLabel(QString::fromUtf16(captions[i].second), this);
        Label1[i]->setObjectName(QStringLiteral("Label1"));
        Label1[i]->setGeometry(twipsRect(120, captions[i].first + 30, 1035, 255));
    }

    txtLineNo = new QLineEdit(this);
    txtLineNo->setObjectName(QStringLiteral("txtLineNo"));
    txtLineNo->setMaxLength(4);
    txtLineNo->setGeometry(twipsRect(kCodeLeft, 240, 615, kRowHeight));
    LblExplain = new QLabel(this);
    LblExplain->setObjectName(QStringLiteral("LblExplain"));
    LblExplain->setGeometry(twipsRect(1920, 270, 7335, 255));

    cmbNext = newList(this, "cmbNext", false, kCodeLeft, 600, kCodeWidth);
    cmbObj = newList(this, "cmbObj", false, kCodeLeft, 960, kCodeWidth);
    cmbObjData = newList(this, "cmbObjData", true, kDataLeft, 960, kDataWidth);
    cmbCmp = newList(this, "cmbCmp", false, kCodeLeft, 1320, kCodeWidth);
    cmbCmpData = newList(this, "cmbCmpData", false, kDataLeft, 1320, kDataWidth);
    cmbVal = newList(this, "cmbVal", false, kCodeLeft, 1680, kCodeWidth);
    cmbValData = newList(this, "cmbValData", true, kDataLeft, 1680, kDataWidth);
    cmbExec = newList(this, "cmbExec", false, kCodeLeft, 2040, kCodeWidth);
    cmbExecData = newList(this, "cmbExecData", true, kDataLeft, 2040, kDataWidth);

    const std::array<int, 3> pinViewTops{960, 1680, 2040}; // object, value and action rows
    for (int i = 0; i < 3; ++i) {
        cmdPinView[i] = newButton(this, "cmdPinView", QStringLiteral("…"),
                                  twipsRect(kButtonLeft, pinViewTops[i], kButtonWidth, kRowHeight));
        connect(cmdPinView[i], &QPushButton::clicked, this, [this, i] { cmdPinView_Click(i); });
    }
    // The value row takes no pin code: its button is never shown.
    cmdPinView[1]->setVisible(false);
    cmdLineSet =
        newButton(this, "cmdLineSet", QStringLiteral("行設定"), twipsRect(7920, 2040, 1455, kRowHeight));
    connect(cmdLineSet, &QPushButton::clicked, this, &LineComposer::cmdLineSet_Click);

    grdWkLG = new QTableWidget(this);
    grdWkLG->setObjectName(QStringLiteral("grdWkLG"));
    grdWkLG->setGeometry(twipsRect(1200, 2430, 8175, 510));
    grdWkLG->horizontalHeader()->hide();
    grdWkLG->verticalHeader()->hide();
    grdWkLG->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdWkLG->setSelectionMode(QAbstractItemView::SingleSelection);
}

void LineComposer::fillLists() {
    fill(cmbNext, ComposerList::Next);
    fill(cmbObj, ComposerList::Obj);
    fill(cmbObjData, ComposerList::ObjData);
    addVariableItems(cmbObjData);
    fill(cmbCmp, ComposerList::Cmp);
    fill(cmbCmpData, ComposerList::CmpData);
    fill(cmbVal, ComposerList::Val);
    fill(cmbValData, ComposerList::ValData);
    addVariableItems(cmbValData);
    fill(cmbExec, ComposerList::Exec);
    fill(cmbExecData, ComposerList::ExecData);
    addVariableItems(cmbExecData);

    for (QComboBox* list : {cmbNext, cmbObj, cmbCmp, cmbCmpData, cmbVal, cmbExec})
        list->setCurrentIndex(0);
    // The editable lists are left without a choice until a line is shown.
    for (QComboBox* list : {cmbObjData, cmbValData, cmbExecData}) {
        list->setCurrentIndex(-1);
        list->setEditText({});
    }
}

LineTexts LineComposer::listTexts() const {
    return {cmbNext->currentText(),    cmbObj->currentText(),     cmbObjData->currentText(),
            cmbCmp->currentText(),     cmbCmpData->currentText(), cmbVal->currentText(),
            cmbValData->currentText(), cmbExec->currentText(),    cmbExecData->currentText()};
}

} // namespace zelk::console
