// The line composer: a grid line shown in the lists, the lists set back into the grid, and the calls to
// the pin editor and the action-detail editor.
#include "detail_editors/frm_exec_dtl.h"
#include "detail_editors/frm_pin_edit.h"
#include "editor_fixture.h"
#include "logic_editor/frm_lg_edit.h"
#include "logic_editor/line_composer.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace zelk::console::testing {
namespace {
using namespace Qt::Literals::StringLiterals;

// Variables 00 "COUNT" and 02 "合計"; variable 01 has no name.
const QByteArray kVariables =
    "[LG_CONTENTS]\r\nVARIABLE_CNT=3\r\nLG_MAIN_CNT=3\r\n[LG_VAR_DEF]\r\nVAR_NAME_00= COUNT \r\n"
    "VAR_NAME_02=" +
    QByteArray::fromStdString(toAnsi(u"合計"_s)) + "\r\n";

class Composer : public EditorTest {
protected:
    // A block of three lines, line 1 as given.
    void openWith(const QByteArray& comp, const QByteArray& proc = {}) {
        writeFile(kVariables + "[LG_MAIN]\r\nLG_COMP_0001=" + comp + "\r\nLG_PROC_0001=" + proc + "\r\n");
        form = std::make_unique<frmLgEdit>();
        show(2);
    }
    void show(int row) {
        setCurrentGridRow(form->grdLg, row);
        QTest::keyClick(form->grdLg, Qt::Key_Return);
    }
    LineComposer& c() const { return *form->frmEdit; }
    static QStringList items(const QComboBox* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    }
    std::unique_ptr<frmLgEdit> form;
};

TEST_F(Composer, TheListsOfferTheirItemsAndTheNamedVariables) {
    openWith({});
    EXPECT_EQ(items(c().cmbObjData), QStringList({"", u"10MS CNT    :ミリ秒カウンタ"_s, "00          :COUNT",
                                                  u"02          :合計"_s}));
    EXPECT_EQ(items(c().cmbValData), QStringList({"", "00          :COUNT", u"02          :合計"_s}));
    EXPECT_EQ(items(c().cmbExec), QStringList({u"NONE:なし"_s, u"OUT :固定出力"_s, u"OUTR:反転出力"_s,
                                               u"CALC:計算"_s, u"CLIP:ｸﾘｯﾌﾟﾎﾞｰﾄﾞ"_s, u"LOG :ログ出力"_s}));
    EXPECT_EQ(c().cmbCmpData->count(), 12);
    for (QComboBox* list : {c().cmbNext, c().cmbObj, c().cmbCmp, c().cmbCmpData, c().cmbVal, c().cmbExec})
        EXPECT_FALSE(list->isEditable()) << list->objectName().toStdString();
    for (QComboBox* list : {c().cmbObjData, c().cmbValData, c().cmbExecData})
        EXPECT_TRUE(list->isEditable());
    EXPECT_EQ(c().txtLineNo->maxLength(), 4);
    EXPECT_FALSE(c().cmdPinView[1]->isVisibleTo(form.get())) << "the value row takes no pin code";
}

TEST_F(Composer, OpeningShowsTheFirstLineAndAFreshLineShowsNone) {
    openWith({});
    frmLgEdit fresh;
    EXPECT_EQ(fresh.frmEdit->txtLineNo->text(), "0000") << "row 1 is shown when the form opens";
    form->cmdAddLine->click(); // at line 0001
    show(2);
    for (QComboBox* list : {c().cmbNext, c().cmbObj, c().cmbCmp, c().cmbVal, c().cmbExec})
        EXPECT_EQ(list->currentText(), u"NONE:なし"_s);
    for (QComboBox* list : {c().cmbObjData, c().cmbCmpData, c().cmbValData, c().cmbExecData}) {
        EXPECT_EQ(list->currentIndex(), 0) << list->objectName().toStdString();
        EXPECT_EQ(list->currentText(), "");
    }
    EXPECT_EQ(c().LblExplain->text(), "NONE    ");
}

TEST_F(Composer, VariableReferencesSelectTheirItemOrShowAsTyped) {
    openWith(lineValue({group("NEW "), group("VAR ", "00"), group("COMP", "<"), group("VAR ", "01")}, 5));
    EXPECT_EQ(c().cmbObjData->currentText(), "00          :COUNT");
    EXPECT_EQ(c().cmbObjData->currentIndex(), 2);
    EXPECT_EQ(c().cmbValData->currentIndex(), -1) << "variable 01 has no name, so no item";
    EXPECT_EQ(c().cmbValData->currentText(), "01") << "shown without the field's padding";
    EXPECT_EQ(c().cmbCmpData->currentText(), "<           ") << "not \"<=\"";
    EXPECT_EQ(c().LblExplain->text(), u" COUNT <  "_s);
}

TEST_F(Composer, PaddedCodesMatchWholeAndUnknownCodesFallBack) {
    openWith(lineValue({group("NEW "), group("PIN ", "001"), group("STS ", "STOP"), group("XYZ ", "abc"),
                        group("OUTR", "1AA")},
                       5),
             lineValue({group("VAR ", "00"), group("+   "), group("CNST", "5")}, 7));
    EXPECT_EQ(c().cmbCmpData->currentText(), u"STOP        :電断"_s) << "not the transition item";
    EXPECT_EQ(c().cmbVal->currentText(), u"NONE:なし"_s) << "an unknown kind shows as NONE";
    EXPECT_EQ(c().cmbValData->currentText(), "abc") << "unmatched data shows without its padding";
    EXPECT_EQ(c().cmbObjData->currentText(), "001");
    EXPECT_EQ(c().LblExplain->text(), u" ポート0 ピン01 電断  [処理] ポート1 ピンAA 反転出力"_s);
    const QTableWidget* work = c().grdWkLG;
    ASSERT_EQ(work->columnCount(), 14);
    EXPECT_EQ(work->item(0, 0)->text(), "VAR ");
    EXPECT_EQ(work->item(0, 3)->text(), "            ");
    EXPECT_EQ(work->item(0, 5)->text(), "5           ");
    EXPECT_EQ(work->item(0, 13)->text(), "            ");
}

TEST_F(Composer, SettingALineWritesItsFieldsAndKeepsColumnTwo) {
    openWith("NEW ,kept        ," + lineValue({}, 4));
    c().cmbObj->setCurrentIndex(2); // VAR
    c().cmbObjData->setEditText("123456789012");
    c().cmbCmp->setCurrentIndex(2);
    c().cmbCmpData->setCurrentIndex(10); // ">=          "
    c().cmbVal->setCurrentIndex(1);
    c().cmbValData->setEditText("-5");
    c().cmbExec->setCurrentIndex(1);
    c().cmbExecData->setEditText(u"aＡＢＣＤＥ"_s); // 11 bytes, padded to 12
    c().cmdLineSet->click();
    EXPECT_EQ(rowTexts(form->grdLg, 2).mid(0, 11),
              QStringList({"0001", "NEW ", "kept        ", "VAR ", "123456789012", "COMP",
                           ">=          ", "CNST", "-5          ", "OUT ", u"aＡＢＣＤＥ "_s}));
    EXPECT_EQ(c().LblExplain->text(), u"  >= -5 [処理] ポート1 ピンＡＢ 固定出力"_s);
    form->cmdOK->click();
    EXPECT_NE(
        fileBytes().indexOf("LG_COMP_0001=NEW ,kept        ,VAR ,123456789012,COMP,>=          ,CNST,-5  "
                            "        ,OUT ,a" +
                            QByteArray::fromStdString(toAnsi(u"ＡＢＣＤＥ"_s)) + " ,\r\n"),
        -1);
}

TEST_F(Composer, SettingBeyondTheBlockExtendsItWithUnnumberedEmptyLines) {
    openWith({});
    c().txtLineNo->setText("5");
    c().cmbNext->setCurrentIndex(1);
    c().cmdLineSet->click();
    ASSERT_EQ(gridRows(form->grdLg), 7);
    EXPECT_EQ(rowTexts(form->grdLg, 4), QStringList(25, QString())) << "no number until the next renumbering";
    EXPECT_EQ(rowTexts(form->grdLg, 5), QStringList(25, QString()));
    EXPECT_EQ(cellText(form->grdLg, 6, 0), "0005");
    EXPECT_EQ(cellText(form->grdLg, 6, 1), "NEW ");
    EXPECT_EQ(c().txtLineNo->text(), "5") << "the composer stays as it was";
    form->cmdOK->click();
    const QByteArray saved = fileBytes();
    EXPECT_NE(saved.indexOf("LG_MAIN_CNT=6\r\n"), -1);
    EXPECT_NE(saved.indexOf("LG_COMP_0004=" + lineValue({}, 5) + "\r\nLG_PROC_0004=" + lineValue({}, 7)), -1);
    EXPECT_NE(saved.indexOf("LG_COMP_0005=NEW ,"), -1);
}

TEST_F(Composer, TypedDataStaysAsTypedAlthoughAnItemBeginsWithIt) {
    openWith({});
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (const auto& [list, typed] : {std::pair{c().cmbValData, "0"}, std::pair{c().cmbObjData, "10"}}) {
        list->setFocus(); // variable 00's item begins with "0", "10MS CNT    :…" with "10"
        QTest::keyClicks(list->lineEdit(), typed);
    }
    EXPECT_EQ(c().cmbValData->currentText(), "0");
    EXPECT_EQ(c().cmbObjData->currentText(), "10");
    c().cmdLineSet->click();
    EXPECT_EQ(cellText(form->grdLg, 2, 8), "0           ");
    EXPECT_EQ(cellText(form->grdLg, 2, 4), "10          ");
}

// A click to the right of a stored text puts the cursor right after it: no hidden padding swallows what is
// typed there, and what does not fit the field is refused with a message instead of being cut.
TEST_F(Composer, TextTypedAfterStoredDataIsKeptOrRefusedButNeverCut) {
    openWith(lineValue({group("NEW "), group("PIN "), group("COMP", ">="), group("CNST", "50")}, 5));
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const auto typeAtRightEnd = [](QComboBox* list, const char* typed) {
        QLineEdit* edit = list->lineEdit();
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 3, edit->height() / 2));
        QTest::keyClicks(edit, typed);
    };
    EXPECT_EQ(c().cmbValData->currentText(), "50");
    EXPECT_EQ(c().cmbObjData->currentIndex(), 0) << "an empty field is the empty item";
    typeAtRightEnd(c().cmbValData, "0");
    typeAtRightEnd(c().cmbObjData, "001");
    c().cmdLineSet->click();
    EXPECT_TRUE(recordedMessages().isEmpty());
    EXPECT_EQ(cellText(form->grdLg, 2, 8), "500         ");
    EXPECT_EQ(cellText(form->grdLg, 2, 4), "001         ");

    const QStringList before = rowTexts(form->grdLg, 2);
    typeAtRightEnd(c().cmbValData, "1234567890"); // 13 bytes
    c().cmdLineSet->click();
    EXPECT_EQ(recordedMessages(), QStringList({u"比較値のデータが12バイトを超えています"_s}));
    EXPECT_EQ(rowTexts(form->grdLg, 2), before) << "nothing of the line is set";
    EXPECT_EQ(c().cmbValData->currentText(), "5001234567890") << "the text stays as typed";
}

TEST_F(Composer, TypedCharactersWithoutACodePage932FormAreRefusedNotReplaced) {
    openWith(lineValue({group("NEW "), group("VAR ", "00"), group("COMP", "="), group("CNST", "5")}, 5));
    const QStringList before = rowTexts(form->grdLg, 2);
    c().cmbValData->setEditText(u"A한é€"_s);
    c().cmdLineSet->click();
    EXPECT_EQ(recordedMessages(),
              QStringList({u"比較値のデータにShift-JISで保存できない文字があります(한é€)"_s}));
    EXPECT_EQ(rowTexts(form->grdLg, 2), before) << "nothing of the line is set";
    EXPECT_EQ(c().cmbValData->currentText(), u"A한é€"_s) << "the text stays as typed";

    recordedMessages().clear();
    c().cmbValData->setEditText(u"A漢"_s);
    c().cmdLineSet->click();
    EXPECT_TRUE(recordedMessages().isEmpty());
    EXPECT_EQ(cellText(form->grdLg, 2, 8), u"A漢         "_s);
}

TEST_F(Composer, LineNumbersOutsideTheBlockTableAreRefused) {
    openWith({});
    const QStringList header = rowTexts(form->grdLg, 0);
    for (const QString& number : {u""_s, u"ab"_s, u"-1"_s, u"1.5"_s}) {
        recordedMessages().clear();
        c().txtLineNo->setText(number);
        c().cmdLineSet->click();
        EXPECT_EQ(recordedMessages(), QStringList({u"行番号が正しくありません"_s})) << number.toStdString();
    }
    recordedMessages().clear();
    c().txtLineNo->setText("128");
    c().cmdLineSet->click();
    EXPECT_EQ(recordedMessages(), QStringList({u"行番号は0127までです(1ブロック128行まで)"_s}));
    EXPECT_EQ(gridRows(form->grdLg), 4);
    EXPECT_EQ(rowTexts(form->grdLg, 0), header) << "the header row is never written";

    recordedMessages().clear();
    c().txtLineNo->setText("127");
    c().cmdLineSet->click();
    EXPECT_TRUE(recordedMessages().isEmpty());
    EXPECT_EQ(gridRows(form->grdLg), 129) << "the engine's table holds lines 0000 to 0127";
}

TEST_F(Composer, WithoutAVariableCountTheEditorOpensWithoutVariableItems) {
    writeFile("[LG_VAR_DEF]\r\nVAR_NAME_00=COUNT\r\n");
    frmLgEdit bare;
    EXPECT_EQ(bare.frmEdit->cmbObjData->count(), 2);
    EXPECT_EQ(bare.frmEdit->cmbValData->count(), 1);
    EXPECT_EQ(bare.frmEdit->cmbExecData->count(), 1);
    EXPECT_TRUE(recordedMessages().isEmpty());
}

TEST_F(Composer, ACancelledPinEditorLeavesTheListText) {
    openWith(lineValue({group("NEW "), group("PIN ", "0a5")}, 5));
    bool opened = false;
    whenModal([&](QWidget* modal) {
        auto* editor = qobject_cast<frmPinEdit*>(modal);
        ASSERT_NE(editor, nullptr);
        opened = true;
        editor->cmdPort0[0]->click();
        editor->cmdCancel->click();
    });
    c().cmdPinView[0]->click();
    EXPECT_TRUE(opened);
    EXPECT_EQ(c().cmbObjData->currentText(), "0a5");
    EXPECT_TRUE(form->findChildren<frmPinEdit*>().isEmpty()) << "the dialog is unloaded";
}

TEST_F(Composer, ThePinEditorSetsTheObjectPinsAndTheOutputPattern) {
    openWith(lineValue(
        {group("NEW "), group("PIN ", "0a5"), group("STS ", "ELEC"), group("NONE"), group("OUT ", "100")},
        5));
    whenModal([](QWidget* modal) {
        auto* editor = qobject_cast<frmPinEdit*>(modal);
        ASSERT_NE(editor, nullptr);
        editor->cmdPort0[1]->click();
        editor->cmdOK->click();
    });
    c().cmdPinView[0]->click();
    EXPECT_EQ(c().cmbObjData->currentText(), "0A7");

    QString portText;
    whenModal([&](QWidget* modal) {
        auto* editor = qobject_cast<frmPinEdit*>(modal);
        ASSERT_NE(editor, nullptr);
        portText = editor->txtPortHex->text();
        EXPECT_FALSE(editor->OptPort[0]->isEnabled()) << "Port 1 is fixed for an output";
        editor->cmdPort1[0]->click();
        editor->cmdOK->click();
    });
    c().cmdPinView[2]->click();
    EXPECT_EQ(portText, "100");
    EXPECT_EQ(c().cmbExecData->currentText(), "101");
}

TEST_F(Composer, ARefusedPinCodeIsReportedAndKept) {
    openWith(lineValue({group("NEW "), group("SVAR", "10MS CNT")}, 5));
    c().cmbObjData->setCurrentIndex(1); // "10MS CNT    :ミリ秒カウンタ"
    c().cmdPinView[0]->click();
    ASSERT_EQ(recordedMessages().size(), 1);
    EXPECT_TRUE(recordedMessages().front().startsWith("cmdPinView_Click-"))
        << recordedMessages().front().toStdString();
    EXPECT_EQ(c().cmbObjData->currentText(), u"10MS CNT    :ミリ秒カウンタ"_s);
}

TEST_F(Composer, TheActionButtonOpensTheDetailEditorOnlyForDetailedActions) {
    openWith(lineValue({group("NONE"), group("NONE"), group("NONE"), group("NONE"), group("CALC", "00")}, 5),
             lineValue({group("VAR ", "00"), group("+   "), group("CNST", "1")}, 7));
    int lineNumber = -1;
    whenModal([&](QWidget* modal) {
        auto* editor = qobject_cast<frmExecDtl*>(modal);
        ASSERT_NE(editor, nullptr);
        lineNumber = editor->lblLineNo->text().toInt();
        editor->cmbDetl[2]->setCurrentIndex(2); // "VARM"
        editor->cmdOK->click();
    });
    c().cmdPinView[2]->click();
    EXPECT_EQ(lineNumber, 1);
    EXPECT_EQ(c().grdWkLG->item(0, 4)->text(), "VARM") << "the detail editor wrote the work row";
    EXPECT_EQ(cellText(form->grdLg, 2, 15), "CNST") << "the line changes only when it is set";
    c().cmdLineSet->click();
    EXPECT_EQ(cellText(form->grdLg, 2, 15), "VARM");
    EXPECT_EQ(cellText(form->grdLg, 2, 13), "+   ");

    c().cmbExec->setCurrentIndex(0); // NONE: nothing opens
    bool opened = false;
    whenModal([&](QWidget* modal) {
        opened = modal != nullptr;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    });
    c().cmdPinView[2]->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(recordedMessages().isEmpty());
}

} // namespace
} // namespace zelk::console::testing
