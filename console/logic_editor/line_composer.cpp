#include "logic_editor/line_composer.h"

#include "common/combo_helpers.h"
#include "common/window_layout.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <initializer_list>

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

void fill(QComboBox* list, std::initializer_list<const char16_t*> items) {
    list->clear();
    for (const char16_t* item : items)
        list->addItem(QString::fromUtf16(item));
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
    fill(cmbNext, {u"NONE:なし", u"NEW :新規", u"NEXT:前行続き", u"AND :かつ", u"OR  :または"});
    fill(cmbObj, {u"NONE:なし", u"PIN :ピン", u"VAR :変数", u"SVAR:システム変数"});
    fill(cmbObjData, {u"", u"10MS CNT    :ミリ秒カウンタ"});
    addVariableItems(cmbObjData);
    fill(cmbCmp, {u"NONE:なし", u"STS :状態チェック", u"COMP:比較"});
    fill(cmbCmpData, {u"", u"CHANGE      :変化", u"STOP->ELEC  :電断->通電", u"ELEC->STOP  :通電->電断",
                      u"ELEC        :通電", u"STOP        :電断", u"=           ", u"<           ",
                      u">           ", u"<=          ", u">=          ", u"<>          "});
    fill(cmbVal, {u"NONE:なし", u"CNST:固定値", u"VAR :変数", u"SVAR:システム変数"});
    fill(cmbValData, {u""});
    addVariableItems(cmbValData);
    fill(cmbExec, {u"NONE:なし", u"OUT :固定出力", u"OUTR:反転出力", u"CALC:計算", u"CLIP:ｸﾘｯﾌﾟﾎﾞｰﾄﾞ",
                   u"LOG :ログ出力"});
    fill(cmbExecData, {u""});
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
